// The Registry module: its calls as Windows gets them, and what a read returns
// and delivers against the registry it finds.
#include "settings/registry.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/unit/fake_platform.h"

namespace np {
namespace {

const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// Reads never produce a double, so this shows whether varData was touched.
const Variant kUntouched(5, 0);  // VT_R8

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.registry.SetValue(kHkeyLocalMachine, kRun, L"App", kRegSz, {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 0});
  }
  // No key handle may outlive a call, whatever path it took.
  void TearDown() override { EXPECT_EQ(fake.registry.OpenHandleCount(), 0u); }
  std::optional<StoredValue> Stored() const { return fake.registry.GetValue(kHkeyLocalMachine, kRun, L"App"); }

  FakePlatform fake;
  RegistryContext reg{fake.registry, fake.codec};
};

TEST_F(RegistryTest, EachProcedureOpensWithItsOwnRightsDoesOneThingAndCloses) {
  Variant data = kUntouched;
  EXPECT_EQ(RegReadValueEntry(reg, kHkeyLocalMachine, kRun, L"App", data), 0);
  // The whole query buffer: the ten characters, the stored NUL and one filler space.
  EXPECT_EQ(data, Variant(vt::kBstr, 0, std::wstring(L"0123456789\0 ", 12)));
  EXPECT_EQ(RegWriteValueEntry(reg, kHkeyLocalMachine, kRun, L"App", Variant(vt::kI2, -1)), 0);
  EXPECT_EQ(Stored(), (StoredValue{kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(RegWriteValueEntry(reg, kHkeyLocalMachine, kRun, L"App", Variant(vt::kBstr, 0, L"Gr\u00f6\u00dfe")), 0);
  EXPECT_EQ(RegWriteValueEntry(reg, kHkeyLocalMachine, kRun, L"App", kUntouched), 0) << "a double is not stored";
  EXPECT_EQ(Stored(), (StoredValue{kRegSz, {'G', 'r', 0xF6, 0xDF, 'e', 0}}));
  EXPECT_EQ(RegDeleteValueEntry(reg, kHkeyLocalMachine, kRun, L"App"), 0);
  EXPECT_FALSE(Stored());

  const std::string open = "RegOpenKeyExA HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run 0 ";
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{
                                  open + "0x19 -> 0 0x100",
                                  "RegQueryValueExA 0x100 App null 0 -> 0",
                                  "RegQueryValueExA 0x100 App buf 11 -> 0",  // n, not n + 1: the last space stays
                                  "RegCloseKey 0x100 -> 0",
                                  open + "0x3f -> 0 0x104",
                                  "RegSetValueExA 0x104 App 4 4 -> 0",
                                  "RegCloseKey 0x104 -> 0",
                                  open + "0x3f -> 0 0x108",
                                  "RegSetValueExA 0x108 App 1 6 -> 0",
                                  "RegCloseKey 0x108 -> 0",
                                  open + "0x3f -> 0 0x10c",
                                  "RegCloseKey 0x10c -> 0",
                                  open + "0x3f -> 0 0x110",
                                  "RegDeleteValueA 0x110 App -> 0",
                                  "RegCloseKey 0x110 -> 0",
                              }));
}

// The status of the step that decides, and data only when the whole value came.
TEST_F(RegistryTest, AReadReturnsTheDecidingStatusAndDeliversOnlyAWholeValue) {
  using Script = std::function<void(FakeRegistry&)>;
  const StoredValue ten = *Stored();
  // The value as another program leaves it between the size query and the read.
  const auto change = [](std::vector<std::uint8_t> bytes) -> Script {
    return [=](FakeRegistry& r) {
      r.AfterNext(FakeRegistry::Op::kQuery, [&r, bytes] { r.SetValue(kHkeyLocalMachine, kRun, L"App", kRegSz, bytes); });
    };
  };
  const auto fail = [](FakeRegistry::Op op, std::int32_t status) -> Script {
    return [=](FakeRegistry& r) { r.FailNext(op, status); };
  };
  struct Case {
    const char* what;
    std::optional<StoredValue> stored;  // none: no such value
    Script script;
    std::int32_t status;
    Variant data;
  } cases[] = {
      {"no value", std::nullopt, {}, kErrorFileNotFound, kUntouched},
      {"a number", StoredValue{kRegDword, {0x78, 0x56, 0x34, 0x12}}, {}, 0, Variant(vt::kI4, 0x12345678)},
      {"a short number", StoredValue{kRegDword, {0x34, 0x12}}, {}, 0, Variant(vt::kI4, 0x1234)},
      {"a long number: read whole, its first four bytes", StoredValue{kRegDword, {1, 2, 3, 4, 5, 6, 7, 8}}, {}, 0,
       Variant(vt::kI4, 0x04030201)},
      {"another type: left alone", StoredValue{kRegBinary, {1}}, {}, 0, kUntouched},
      {"a string that grew", ten, change({'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 0}), kErrorMoreData,
       kUntouched},
      {"a string that shrank: more filler", ten, change({'1', '2', 0}), 0,
       Variant(vt::kBstr, 0, std::wstring(L"12\0         ", 12))},
      {"the size query fails", ten, fail(FakeRegistry::Op::kQuery, 1009), 1009, kUntouched},
      {"the close fails after a whole read", ten, fail(FakeRegistry::Op::kClose, 1018), 1018,
       Variant(vt::kBstr, 0, std::wstring(L"0123456789\0 ", 12))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.stored) fake.registry.SetValue(kHkeyLocalMachine, kRun, L"App", c.stored->type, c.stored->bytes);
    else fake.registry.RemoveValue(kHkeyLocalMachine, kRun, L"App");
    if (c.script) c.script(fake.registry);
    Variant data = kUntouched;
    EXPECT_EQ(RegReadValueEntry(reg, kHkeyLocalMachine, kRun, L"App", data), c.status);
    EXPECT_EQ(data, c.data);
    EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
  }
}

}  // namespace
}  // namespace np
