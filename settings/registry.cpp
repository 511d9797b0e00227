// The Registry module: delete, write and read one named value, each in one
// open-operate-close round trip that hands back the platform's status.
#include "settings/registry.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace np {
namespace {

// Reported when a conversion or buffer cannot be allocated: the procedures
// promise a status, never an exception.
constexpr std::int32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kOpenOptions = 0;
constexpr std::uint32_t kDwordBytes = 4;

template <typename Step>
std::int32_t Guarded(Step step) noexcept {
  try {
    return step();
  } catch (...) {
    return kErrorNotEnoughMemory;
  }
}

// The text in the code page, if that holds it exactly: a best-fit or default
// character would come back as something else.
std::optional<std::string> ExactAnsi(RegistryContext reg, std::wstring_view text) {
  std::string ansi = reg.codec.ToAnsi(text);
  if (reg.codec.FromAnsi(ansi) != text) return std::nullopt;
  return ansi;
}

// Opens the key for one operation on the named value; a name the code page
// cannot hold is refused before the registry is asked.
std::int32_t OpenKey(RegistryContext reg, RegKey root, const std::wstring& sub_key, const std::wstring& value_name,
                     std::uint32_t access, RegKey* key) noexcept {
  *key = 0;
  return Guarded([&] {
    if (!ExactAnsi(reg, sub_key) || !ExactAnsi(reg, value_name)) return kErrorNoUnicodeTranslation;
    return reg.api.RegOpenKeyExA(root, sub_key, kOpenOptions, access, key);
  });
}

std::int32_t CloseKey(RegistryContext reg, RegKey key) noexcept {
  return Guarded([&] { return reg.api.RegCloseKey(key); });
}

// The first non-zero status decides; the close happens either way.
std::int32_t Decide(std::int32_t operation, std::int32_t close) { return operation != 0 ? operation : close; }

std::int32_t StoreDword(RegistryContext reg, RegKey key, const std::wstring& name, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  const std::array<std::uint8_t, kDwordBytes> bytes = {
      static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16),
      static_cast<std::uint8_t>(bits >> 24)};
  return reg.api.RegSetValueExA(key, name, kRegDword, bytes.data(), kDwordBytes);
}

std::int32_t StoreString(RegistryContext reg, RegKey key, const std::wstring& name, const std::wstring& text) {
  const std::optional<std::string> ansi = ExactAnsi(reg, text);
  if (!ansi) return kErrorNoUnicodeTranslation;
  // c_str() carries the terminator, which the count includes.
  const auto byte_count = static_cast<std::uint32_t>(ansi->size() + 1);
  return reg.api.RegSetValueExA(key, name, kRegSz, reinterpret_cast<const std::uint8_t*>(ansi->c_str()), byte_count);
}

std::int32_t Store(RegistryContext reg, RegKey key, const std::wstring& name, const Variant& data) {
  switch (data.Type()) {
    case vt::kI2:  // Long() is already sign-extended
    case vt::kI4:
      return StoreDword(reg, key, name, data.Long());
    case vt::kBstr:
      return StoreString(reg, key, name, data.String());
    default:
      return kErrorSuccess;
  }
}

std::int32_t ReadString(RegistryContext reg, RegKey key, const std::wstring& name, std::uint32_t size, Variant& out) {
  // n + 1 filler spaces, of which the query may fill only n: the last one
  // always survives, and nothing of the buffer is trimmed afterwards.
  std::string buffer = reg.codec.ToAnsi(std::wstring(std::size_t{size} + 1, L' '));
  std::uint32_t byte_count = size;
  std::uint32_t type = 0;
  const std::int32_t status =
      reg.api.RegQueryValueExA(key, name, &type, reinterpret_cast<std::uint8_t*>(buffer.data()), &byte_count);
  if (status != kErrorSuccess) return status;
  out = Variant(vt::kBstr, 0, reg.codec.FromAnsi(buffer));
  return kErrorSuccess;
}

std::int32_t ReadDword(RegistryContext reg, RegKey key, const std::wstring& name, std::uint32_t size, Variant& out) {
  // The whole value, however long it is: offered less, the query answers "more
  // data" for a number that exists. Its first four bytes are the number.
  std::vector<std::uint8_t> data(std::max(size, kDwordBytes));
  std::uint32_t byte_count = size;
  std::uint32_t type = 0;
  const std::int32_t status = reg.api.RegQueryValueExA(key, name, &type, data.data(), &byte_count);
  if (status != kErrorSuccess) return status;
  const std::uint32_t bits =
      data[0] | (std::uint32_t{data[1]} << 8) | (std::uint32_t{data[2]} << 16) | (std::uint32_t{data[3]} << 24);
  out = Variant(vt::kI4, static_cast<std::int32_t>(bits));
  return kErrorSuccess;
}

std::int32_t ReadOpenValue(RegistryContext reg, RegKey key, const std::wstring& name, Variant& out) {
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  const std::int32_t status = reg.api.RegQueryValueExA(key, name, &type, nullptr, &size);
  if (status != kErrorSuccess) return status;
  if (type == kRegSz) return ReadString(reg, key, name, size, out);
  if (type == kRegDword) return ReadDword(reg, key, name, size, out);
  return kErrorSuccess;
}

}  // namespace

std::int32_t RegDeleteValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                                 const std::wstring& strValueName) {
  RegKey key = 0;
  const std::int32_t opened = OpenKey(reg, hRootKey, strSubKey, strValueName, kAccessWrite, &key);
  if (opened != kErrorSuccess) return opened;
  // A missing value is as good as a deleted one, so the delete's status is dropped.
  Guarded([&] { return reg.api.RegDeleteValueA(key, strValueName); });
  return CloseKey(reg, key);
}

std::int32_t RegWriteValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                                const std::wstring& strValueName, const Variant& varData) {
  RegKey key = 0;
  const std::int32_t opened = OpenKey(reg, hRootKey, strSubKey, strValueName, kAccessWrite, &key);
  if (opened != kErrorSuccess) return opened;
  const std::int32_t stored = Guarded([&] { return Store(reg, key, strValueName, varData); });
  return Decide(stored, CloseKey(reg, key));
}

std::int32_t RegReadValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                               const std::wstring& strValueName, Variant& varData) {
  RegKey key = 0;
  const std::int32_t opened = OpenKey(reg, hRootKey, strSubKey, strValueName, kAccessRead, &key);
  if (opened != kErrorSuccess) return opened;
  const std::int32_t read = Guarded([&] { return ReadOpenValue(reg, key, strValueName, varData); });
  return Decide(read, CloseKey(reg, key));
}

}  // namespace np
