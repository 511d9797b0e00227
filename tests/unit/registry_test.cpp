// The Registry module's status, variant and buffer rules against the fake registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/fake/call_log.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_text_codec.h"
#include "settings/registry.h"

namespace np {
namespace {

using Op = FakeRegistry::Op;
using Bytes = std::vector<std::uint8_t>;

class StillClock final : public Clock {
 public:
  std::uint64_t NowMs() override { return 0; }
  void Sleep(std::uint32_t) override {}
};

const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kOpenRun = "RegOpenKeyExA HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run 0 ";
// Reads never produce a double, so this shows whether varData was touched.
const Variant kUntouched = Variant(vt::kR8, 0);

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { fake.CreateKey(kHkeyLocalMachine, kRun); }
  // No key handle may outlive a call, whatever path it took.
  void TearDown() override { EXPECT_EQ(fake.OpenHandleCount(), 0u); }

  std::int32_t Read(Variant& out, const std::wstring& name = L"App") {
    return RegReadValueEntry(reg, kHkeyLocalMachine, kRun, name, out);
  }
  std::int32_t Write(const Variant& data) { return RegWriteValueEntry(reg, kHkeyLocalMachine, kRun, L"App", data); }
  std::int32_t Delete() { return RegDeleteValueEntry(reg, kHkeyLocalMachine, kRun, L"App"); }
  void Store(std::uint32_t type, Bytes bytes) { fake.SetValue(kHkeyLocalMachine, kRun, L"App", type, bytes); }
  std::optional<StoredValue> Stored() const { return fake.GetValue(kHkeyLocalMachine, kRun, L"App"); }
  std::vector<std::string> Calls() const { return log.Names(); }
  // The handle the first logged open gave out, as the log spells it.
  std::string Handle() const {
    const std::string& open = log.Calls().at(0).what;
    return open.substr(open.rfind(' ') + 1);
  }

  StillClock clock;
  CallLog log{clock};
  FakeRegistry fake{&log};
  FakeTextCodec codec;
  RegistryContext reg{fake, codec};
};

TEST_F(RegistryTest, EachProcedureReturnsTheStatusOfTheStepThatDecides) {
  enum Proc { kDel, kWrite, kRead };
  struct Case {
    const char* what;
    Proc proc;
    std::uint32_t stored_type;
    std::function<void(FakeRegistry&)> script;
    std::int32_t expected;
    bool delivers = false;  // a read whose data reached varData
  };
  const auto fail = [](Op op, std::int32_t status) { return [=](FakeRegistry& f) { f.FailNext(op, status); }; };
  const auto fail_data_query = [](std::int32_t status) {
    return [=](FakeRegistry& f) { f.AfterNext(Op::kQuery, [&f, status] { f.FailNext(Op::kQuery, status); }); };
  };
  const auto both = [](auto first, auto second) {
    return [=](FakeRegistry& f) {
      first(f);
      second(f);
    };
  };
  const Case cases[] = {
      {"delete: open fails", kDel, kRegSz, fail(Op::kOpen, 5), 5},
      {"delete: delete fails, close decides", kDel, kRegSz, fail(Op::kDelete, 5), 0},
      {"delete: close fails", kDel, kRegSz, fail(Op::kClose, 1018), 1018},
      {"write: open fails", kWrite, kRegSz, fail(Op::kOpen, 5), 5},
      {"write: store fails", kWrite, kRegSz, fail(Op::kSet, 1013), 1013},
      {"write: close fails", kWrite, kRegSz, fail(Op::kClose, 1018), 1018},
      {"write: store and close fail", kWrite, kRegSz, both(fail(Op::kSet, 1013), fail(Op::kClose, 1018)), 1013},
      {"read: open fails", kRead, kRegSz, fail(Op::kOpen, 5), 5},
      {"read: size query fails", kRead, kRegSz, fail(Op::kQuery, 1009), 1009},
      {"read: size query and close fail", kRead, kRegSz, both(fail(Op::kQuery, 1009), fail(Op::kClose, 1018)), 1009},
      {"read: string data query fails", kRead, kRegSz, fail_data_query(1009), 1009},
      {"read: number data query fails", kRead, kRegDword, fail_data_query(1009), 1009},
      {"read: close fails", kRead, kRegSz, fail(Op::kClose, 1018), 1018, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log.Clear();
    Store(c.stored_type, B("1234"));
    c.script(fake);
    Variant data = kUntouched;
    const std::int32_t status = c.proc == kDel ? Delete() : c.proc == kWrite ? Write(Variant(vt::kI4, 7)) : Read(data);
    EXPECT_EQ(status, c.expected);
    const std::vector<std::string> calls = Calls();
    const bool opened = calls.front().find("-> 0 ") != std::string::npos;
    const auto closes =
        std::count_if(calls.begin(), calls.end(), [](const std::string& s) { return s.rfind("RegCloseKey", 0) == 0; });
    EXPECT_EQ(closes, opened ? 1 : 0);
    if (c.proc == kRead) {
      EXPECT_EQ(data != kUntouched, c.delivers);
    }
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
  }
}

TEST_F(RegistryTest, WriteStoresI2AndI4AsDwordAndStringsAsAnsiWithTheirNul) {
  struct Case {
    Variant data;
    std::uint32_t type;
    Bytes bytes;
  };
  const Case cases[] = {
      {Variant(vt::kI2, -1), kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {Variant(vt::kI2, -2), kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}},
      {Variant(vt::kI2, 32767), kRegDword, {0xFF, 0x7F, 0, 0}},
      {Variant(vt::kI4, 0x12345678), kRegDword, {0x78, 0x56, 0x34, 0x12}},
      {Variant(vt::kI4, INT32_MIN), kRegDword, {0, 0, 0, 0x80}},
      {Variant(vt::kBstr, 0, L"abc"), kRegSz, B(std::string_view("abc\0", 4))},
      {Variant(vt::kBstr, 0, L""), kRegSz, {0}},
      {Variant(vt::kBstr, 0, L"Gr\u00f6\u00dfe"), kRegSz, B(std::string_view("Gr\xf6\xdf" "e\0", 6))},
      {Variant(vt::kBstr, 0, L"C:\\Tools\\app.exe"), kRegSz, B(std::string_view("C:\\Tools\\app.exe\0", 17))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.data.Type() << " size " << c.bytes.size());
    log.Clear();
    Store(kRegBinary, B("old"));
    EXPECT_EQ(Write(c.data), 0);
    EXPECT_EQ(Stored(), (StoredValue{c.type, c.bytes}));
    ASSERT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Calls()[0], kOpenRun + "0x3f -> 0 " + Handle());
    EXPECT_EQ(Calls()[1], "RegSetValueExA " + Handle() + " App " + std::to_string(c.type) + " " +
                              std::to_string(c.bytes.size()) + " -> 0");
    EXPECT_EQ(Calls()[2], "RegCloseKey " + Handle() + " -> 0");
  }
}

TEST_F(RegistryTest, WriteOfAnyOtherVariantTypeOpensAndClosesButStoresNothing) {
  const Variant refused[] = {Variant(), Variant(vt::kR8, 0), Variant(vt::kBool, -1), Variant(vt::kDate, 0),
                             Variant(vt::kArray | vt::kI4, 0)};
  for (const Variant& data : refused) {
    SCOPED_TRACE(testing::Message() << "type " << data.Type());
    log.Clear();
    EXPECT_EQ(Write(data), 0);
    EXPECT_EQ(fake.ValueCount(kHkeyLocalMachine, kRun), 0u);
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0].substr(0, kOpenRun.size() + 4), kOpenRun + "0x3f");
    EXPECT_EQ(Calls()[1].substr(0, 11), "RegCloseKey");
  }
}

TEST_F(RegistryTest, StringReadKeepsTheWholeBufferWithNulAndFiller) {
  struct Case {
    const char* what;
    Bytes stored;
    std::wstring expected;
  };
  const Case cases[] = {
      {"ten characters with terminator", B(std::string_view("0123456789\0", 11)), std::wstring(L"0123456789\0 ", 12)},
      {"without terminator", B("0123456789"), L"0123456789 "},
      {"empty string", {0}, std::wstring(L"\0 ", 2)},
      {"no data at all", {}, L" "},
      {"embedded NUL", B(std::string_view("ab\0cd\0", 6)), std::wstring(L"ab\0cd\0 ", 7)},
      {"code page text",
       B(std::string_view("Gr\xf6\xdf"
                          "e\0",
                          6)),
       std::wstring(L"Gr\u00f6\u00dfe\0 ", 7)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log.Clear();
    Store(kRegSz, c.stored);
    Variant data = kUntouched;
    EXPECT_EQ(Read(data), 0);
    EXPECT_EQ(data, Variant(vt::kBstr, 0, c.expected));
    ASSERT_EQ(Calls().size(), 4u);
    EXPECT_EQ(Calls()[0], kOpenRun + "0x19 -> 0 " + Handle());
    EXPECT_EQ(Calls()[1], "RegQueryValueExA " + Handle() + " App null 0 -> 0");
    // n, not n + 1: the last filler space must survive.
    EXPECT_EQ(Calls()[2], "RegQueryValueExA " + Handle() + " App buf " + std::to_string(c.stored.size()) + " -> 0");
    EXPECT_EQ(Calls()[3], "RegCloseKey " + Handle() + " -> 0");
  }
}

TEST_F(RegistryTest, NumberReadDeliversI4AndNeverOffersMoreThanFourBytes) {
  struct Case {
    Bytes stored;
    std::int32_t status;
    Variant expected;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 0, Variant(vt::kI4, 0)},
      {{0x78, 0x56, 0x34, 0x12}, 0, Variant(vt::kI4, 0x12345678)},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0, Variant(vt::kI4, -1)},
      {{0, 0, 0, 0x80}, 0, Variant(vt::kI4, INT32_MIN)},
      {{0x34, 0x12}, 0, Variant(vt::kI4, 0x1234)},
      {{1, 2, 3, 4, 5, 6, 7, 8}, kErrorMoreData, kUntouched},  // oversize: refused, not overrun
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.stored.size());
    log.Clear();
    Store(kRegDword, c.stored);
    Variant data = kUntouched;
    EXPECT_EQ(Read(data), c.status);
    EXPECT_EQ(data, c.expected);
    const std::size_t offered = std::min<std::size_t>(c.stored.size(), 4);
    EXPECT_EQ(Calls()[2], "RegQueryValueExA " + Handle() + " App buf " + std::to_string(offered) + " -> " +
                              std::to_string(c.status));
  }
}

TEST_F(RegistryTest, ReadOfOtherTypesSucceedsWithoutTouchingVarData) {
  for (std::uint32_t type : {0u, kRegExpandSz, kRegBinary, 7u, 11u}) {
    SCOPED_TRACE(testing::Message() << "registry type " << type);
    log.Clear();
    Store(type, B(std::string_view("%PATH%\0", 7)));
    Variant data = kUntouched;
    EXPECT_EQ(Read(data), 0);
    EXPECT_EQ(data, kUntouched);
    EXPECT_EQ(Calls().size(), 3u);  // open, size query, close: no data query
  }
}

TEST_F(RegistryTest, MissingValueOrKeyReturnsNotFoundAndCreatesNothing) {
  Variant data = kUntouched;
  EXPECT_EQ(Read(data, L"Nobody"), kErrorFileNotFound);
  EXPECT_EQ(data, kUntouched);
  EXPECT_EQ(Delete(), 0);  // a missing value counts as deleted

  const std::wstring missing = L"SOFTWARE\\Norvane\\Missing";
  EXPECT_EQ(RegReadValueEntry(reg, kHkeyLocalMachine, missing, L"App", data), kErrorFileNotFound);
  EXPECT_EQ(RegWriteValueEntry(reg, kHkeyLocalMachine, missing, L"App", Variant(vt::kBstr, 0, L"x")), kErrorFileNotFound);
  EXPECT_EQ(RegDeleteValueEntry(reg, kHkeyLocalMachine, missing, L"App"), kErrorFileNotFound);
  EXPECT_EQ(data, kUntouched);
  EXPECT_FALSE(fake.KeyExists(kHkeyLocalMachine, missing));
  EXPECT_FALSE(fake.KeyExists(kHkeyLocalMachine, L"SOFTWARE\\Norvane"));
}

TEST_F(RegistryTest, DeleteRemovesOnlyThatValue) {
  Store(kRegSz, B(std::string_view("x\0", 2)));
  fake.SetDword(kHkeyLocalMachine, kRun, L"Other", 1);
  EXPECT_EQ(Delete(), 0);
  EXPECT_FALSE(Stored());
  EXPECT_TRUE(fake.GetValue(kHkeyLocalMachine, kRun, L"Other"));
  EXPECT_EQ(Calls()[0], kOpenRun + "0x3f -> 0 " + Handle());
  EXPECT_EQ(Calls()[1], "RegDeleteValueA " + Handle() + " App -> 0");
}

TEST_F(RegistryTest, ReadOnlyKeyRefusesWriteAndDeleteButStillReads) {
  Store(kRegSz, B(std::string_view("x\0", 2)));
  fake.SetReadOnly(kHkeyLocalMachine, kRun);
  EXPECT_EQ(Write(Variant(vt::kBstr, 0, L"new")), kErrorAccessDenied);
  EXPECT_EQ(Delete(), kErrorAccessDenied);
  EXPECT_EQ(Stored(), (StoredValue{kRegSz, B(std::string_view("x\0", 2))}));
  Variant data;
  EXPECT_EQ(Read(data), 0);
}

TEST_F(RegistryTest, StringChangedBetweenTheTwoQueries) {
  const Bytes ten = B(std::string_view("0123456789\0", 11));
  Store(kRegSz, ten);
  fake.AfterNext(Op::kQuery, [&] { Store(kRegSz, B(std::string_view("0123456789AB\0", 13))); });
  Variant data = kUntouched;
  EXPECT_EQ(Read(data), kErrorMoreData);  // grown: the data query's status
  EXPECT_EQ(data, kUntouched);

  Store(kRegSz, ten);
  fake.AfterNext(Op::kQuery, [&] { Store(kRegSz, B(std::string_view("ab\0", 3))); });
  EXPECT_EQ(Read(data), 0);  // shrunk: more filler, still the whole buffer
  EXPECT_EQ(data, Variant(vt::kBstr, 0, std::wstring(L"ab\0         ", 12)));
}

class ThrowingCodec final : public TextCodec {
 public:
  std::string ToAnsi(std::wstring_view) override { throw std::bad_alloc(); }
  std::wstring FromAnsi(std::string_view) override { throw std::bad_alloc(); }
};

TEST_F(RegistryTest, TextTheCodePageCannotHoldIsRefusedNotMangled) {
  Store(kRegSz, B(std::string_view("x\0", 2)));
  const std::wstring euro = L"\u20ac";  // beyond the fake's single-byte code page
  EXPECT_EQ(Write(Variant(vt::kBstr, 0, L"C:\\" + euro + L"\\app.exe")), kErrorNoUnicodeTranslation);
  EXPECT_EQ(Stored(), (StoredValue{kRegSz, B(std::string_view("x\0", 2))}));
  Variant data = kUntouched;
  EXPECT_EQ(RegWriteValueEntry(reg, kHkeyLocalMachine, kRun, euro, Variant(vt::kBstr, 0, L"x")), kErrorNoUnicodeTranslation);
  EXPECT_EQ(RegDeleteValueEntry(reg, kHkeyLocalMachine, kRun, euro), kErrorNoUnicodeTranslation);
  EXPECT_EQ(RegReadValueEntry(reg, kHkeyLocalMachine, kRun, euro, data), kErrorNoUnicodeTranslation);
  EXPECT_EQ(data, kUntouched);
  EXPECT_EQ(fake.ValueCount(kHkeyLocalMachine, kRun), 1u) << "nothing stored under a mangled name";
}

TEST_F(RegistryTest, ConversionFailureBecomesAStatusAndTheKeyIsStillClosed) {
  ThrowingCodec broken;
  const RegistryContext failing{fake, broken};
  Store(kRegSz, B(std::string_view("x\0", 2)));
  Variant data = kUntouched;
  EXPECT_NE(RegReadValueEntry(failing, kHkeyLocalMachine, kRun, L"App", data), 0);
  EXPECT_EQ(data, kUntouched);
  EXPECT_NE(RegWriteValueEntry(failing, kHkeyLocalMachine, kRun, L"App", Variant(vt::kBstr, 0, L"y")), 0);
  EXPECT_EQ(Stored(), (StoredValue{kRegSz, B(std::string_view("x\0", 2))}));
}

}  // namespace
}  // namespace np
