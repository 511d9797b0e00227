// The Registry module against random registry contents through the fake
// registry: types, sizes, missing keys and values, read-only keys, failing
// calls, values that change between the size query and the read. Every key
// opened is closed, and each procedure keeps the status contract of registry.h.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_text_codec.h"
#include "settings/registry.h"
#include "tests/fuzz/check.h"

namespace np {
namespace {

using Op = FakeRegistry::Op;
using Bytes = std::vector<std::uint8_t>;
using Value = std::optional<StoredValue>;

constexpr wchar_t kNotAnsi = L'\u20ac';  // beyond the fake's code page
// Reads never produce a double, so this shows whether varData was touched.
const Variant kUntouched = Variant(vt::kR8, 0);

struct Failures {
  std::optional<std::int32_t> open, size_query, data_query, store, remove, close;
};

struct Scenario {
  enum Proc { kRead, kWrite, kDelete } proc;
  RegKey root;
  std::wstring sub_key, name;
  bool key_exists, read_only;
  Value stored;
  bool changes;
  Value changed;  // what the value is once the size query has been answered
  Failures fail;
  Variant data;  // what a write stores
};

// --- Decoding the input -------------------------------------------------------

std::wstring TextFrom(FuzzedDataProvider& in) {
  std::wstring text;
  for (std::uint8_t c : in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 12))) {
    if (c != 0) text.push_back(c == 0xFF ? kNotAnsi : static_cast<wchar_t>(c));
  }
  return text;
}

Value ValueFrom(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  const auto type = in.PickValueInArray<std::uint32_t>({0u, kRegSz, kRegExpandSz, kRegBinary, kRegDword, 7u, 11u});
  return StoredValue{type, in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 300))};
}

std::optional<std::int32_t> FailureFrom(FuzzedDataProvider& in) {
  if (!in.ConsumeBool()) return std::nullopt;
  return in.PickValueInArray<std::int32_t>({kErrorFileNotFound, kErrorAccessDenied, kErrorMoreData, 1009, 1018, -1});
}

Variant VariantFrom(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
      return Variant(vt::kI2, in.ConsumeIntegral<std::int16_t>());
    case 1:
      return Variant(vt::kI4, in.ConsumeIntegral<std::int32_t>());
    case 2:
      return Variant(vt::kBstr, 0, TextFrom(in));
    case 3:
      return Variant(vt::kR8, 0);
    default:
      return Variant(in.ConsumeIntegral<std::uint16_t>(), 0);
  }
}

Scenario ScenarioFrom(FuzzedDataProvider& in) {
  Scenario s{};
  s.proc = static_cast<Scenario::Proc>(in.ConsumeIntegralInRange(0, 2));
  s.root = in.ConsumeBool() ? kHkeyLocalMachine : kHkeyCurrentUser;
  s.sub_key = in.ConsumeBool() ? L"Software\\Norvane" : std::wstring(L"Software\\Norv") + kNotAnsi + L"ne";
  s.name = TextFrom(in);
  s.key_exists = in.ConsumeBool();
  s.read_only = in.ConsumeBool();
  s.stored = ValueFrom(in);
  s.changes = in.ConsumeBool();
  s.changed = ValueFrom(in);
  s.fail = {FailureFrom(in), FailureFrom(in), FailureFrom(in), FailureFrom(in), FailureFrom(in), FailureFrom(in)};
  s.data = VariantFrom(in);
  return s;
}

void Arrange(FakeRegistry& fake, const Scenario& s) {
  if (s.key_exists) {
    fake.CreateKey(s.root, s.sub_key);
    fake.SetReadOnly(s.root, s.sub_key, s.read_only);
    if (s.stored) fake.SetValue(s.root, s.sub_key, s.name, s.stored->type, s.stored->bytes);
  }
  const auto fail = [&](Op op, std::optional<std::int32_t> status) {
    if (status) fake.FailNext(op, *status);
  };
  fail(Op::kOpen, s.fail.open);
  fail(Op::kQuery, s.fail.size_query);
  fail(Op::kSet, s.fail.store);
  fail(Op::kDelete, s.fail.remove);
  fail(Op::kClose, s.fail.close);
  fake.AfterNext(Op::kQuery, [&fake, &s] {
    if (s.changes && s.changed) fake.SetValue(s.root, s.sub_key, s.name, s.changed->type, s.changed->bytes);
    if (s.changes && !s.changed) fake.RemoveValue(s.root, s.sub_key, s.name);
    if (s.fail.data_query) fake.FailNext(Op::kQuery, *s.fail.data_query);
  });
}

// --- What the contract promises -----------------------------------------------

bool Ansi(const std::wstring& text) { return text.find(kNotAnsi) == std::wstring::npos; }

std::int32_t ExpectedOpen(const Scenario& s) {
  if (!Ansi(s.sub_key) || !Ansi(s.name)) return kErrorNoUnicodeTranslation;
  if (s.fail.open) return *s.fail.open;
  if (!s.key_exists) return kErrorFileNotFound;
  if (s.proc != Scenario::kRead && s.read_only) return kErrorAccessDenied;
  return kErrorSuccess;
}

std::int32_t AfterClose(const Scenario& s, std::int32_t operation) {
  return operation != kErrorSuccess ? operation : s.fail.close.value_or(kErrorSuccess);
}

// The whole query buffer: the data, a terminator the registry adds to text
// with room to spare, then filler up to size + 1.
Variant StringRead(const StoredValue& now, std::size_t size) {
  std::wstring text(now.bytes.begin(), now.bytes.end());
  const bool is_text = now.type == kRegSz || now.type == kRegExpandSz || now.type == 7;
  if (is_text && !now.bytes.empty() && now.bytes.size() < size && now.bytes.back() != 0) text.push_back(L'\0');
  text.resize(size + 1, L' ');
  return Variant(vt::kBstr, 0, text);
}

Variant DwordRead(const StoredValue& now) {
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < now.bytes.size(); ++i) bits |= std::uint32_t{now.bytes[i]} << (8 * i);
  return Variant(vt::kI4, static_cast<std::int32_t>(bits));
}

void CheckRead(const Scenario& s, std::int32_t status, const Variant& got) {
  std::int32_t read = kErrorSuccess;
  Variant expected = kUntouched;
  const Value& now = s.changes ? s.changed : s.stored;
  const bool string = s.stored && s.stored->type == kRegSz, dword = s.stored && s.stored->type == kRegDword;
  const std::size_t size = s.stored ? s.stored->bytes.size() : 0;
  const std::size_t offered = dword ? std::min<std::size_t>(size, 4) : size;
  if (s.fail.size_query) {
    read = *s.fail.size_query;
  } else if (!s.stored) {
    read = kErrorFileNotFound;
  } else if (!string && !dword) {
    read = kErrorSuccess;  // other types are left alone
  } else if (s.fail.data_query) {
    read = *s.fail.data_query;
  } else if (!now) {
    read = kErrorFileNotFound;
  } else if (now->bytes.size() > offered) {
    read = kErrorMoreData;
  } else {
    expected = string ? StringRead(*now, size) : DwordRead(*now);
  }
  FUZZ_CHECK(status == AfterClose(s, read));
  FUZZ_CHECK(got == expected);
}

void CheckWrite(const Scenario& s, std::int32_t status, const Value& after) {
  std::int32_t store = kErrorSuccess;
  Value stored;
  const std::uint16_t type = s.data.Type();
  if (type == vt::kI2 || type == vt::kI4) {
    const auto bits = static_cast<std::uint32_t>(s.data.Long());
    stored = StoredValue{
        kRegDword, {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)}};
  } else if (type == vt::kBstr && !Ansi(s.data.String())) {
    store = kErrorNoUnicodeTranslation;
  } else if (type == vt::kBstr) {
    stored = StoredValue{kRegSz, Bytes(s.data.String().begin(), s.data.String().end())};
    stored->bytes.push_back(0);
  }
  if (stored && s.fail.store) {
    store = *s.fail.store;
    stored.reset();
  }
  FUZZ_CHECK(status == AfterClose(s, store));
  FUZZ_CHECK(after == (stored ? stored : s.stored));
}

void Check(const Scenario& s, std::int32_t status, const Variant& got, const Value& after) {
  const std::int32_t open = ExpectedOpen(s);
  if (open != kErrorSuccess) {
    FUZZ_CHECK(status == open && got == kUntouched);
    if (s.proc != Scenario::kRead) FUZZ_CHECK(after == (s.key_exists ? s.stored : std::nullopt));
    return;
  }
  if (s.proc == Scenario::kRead) CheckRead(s, status, got);
  if (s.proc == Scenario::kWrite) CheckWrite(s, status, after);
  if (s.proc == Scenario::kDelete) {
    FUZZ_CHECK(status == AfterClose(s, kErrorSuccess));  // the delete's own status is dropped
    FUZZ_CHECK(after == (s.fail.remove ? s.stored : std::nullopt));
  }
}

}  // namespace
}  // namespace np

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace np;
  FuzzedDataProvider in(data, size);
  const Scenario s = ScenarioFrom(in);
  FakeRegistry fake;
  FakeTextCodec codec;
  Arrange(fake, s);
  const RegistryContext reg{fake, codec};
  Variant got = kUntouched;
  std::int32_t status = 0;
  switch (s.proc) {
    case Scenario::kRead:
      status = RegReadValueEntry(reg, s.root, s.sub_key, s.name, got);
      break;
    case Scenario::kWrite:
      status = RegWriteValueEntry(reg, s.root, s.sub_key, s.name, s.data);
      break;
    case Scenario::kDelete:
      status = RegDeleteValueEntry(reg, s.root, s.sub_key, s.name);
      break;
  }
  FUZZ_CHECK(fake.OpenHandleCount() == 0);
  FUZZ_CHECK(fake.KeyExists(s.root, s.sub_key) == s.key_exists);
  Check(s, status, got, fake.GetValue(s.root, s.sub_key, s.name));
  return 0;
}
