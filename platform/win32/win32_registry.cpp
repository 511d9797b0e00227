// advapi32's ANSI registry functions behind RegistryApi; names are converted
// to the ANSI code page right at each call.
#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_text_codec.h"

namespace np {
namespace {

// RegKey holds the handle's bits unchanged; the predefined roots are
// sign-extended in both, so the cast is exact on 32 and 64 bits.
HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey FromHkey(HKEY key) { return reinterpret_cast<RegKey>(key); }

static_assert(sizeof(RegKey) == sizeof(HKEY));
static_assert(sizeof(DWORD) == sizeof(std::uint32_t));

}  // namespace

std::int32_t Win32Registry::RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options,
                                          std::uint32_t access, RegKey* result) {
  const std::string name = ToAnsiCp(sub_key);
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExA(ToHkey(root), name.c_str(), options, access, &key);
  *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

std::int32_t Win32Registry::RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type,
                                             std::uint8_t* data, std::uint32_t* byte_count) {
  const std::string name = ToAnsiCp(value_name);
  // DWORD is unsigned long on mingw, a distinct type from std::uint32_t.
  DWORD value_type = 0;
  DWORD count = byte_count ? *byte_count : 0;
  const LONG status = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, type ? &value_type : nullptr, data,
                                         byte_count ? &count : nullptr);
  if (type) *type = value_type;
  if (byte_count) *byte_count = count;
  return status;
}

std::int32_t Win32Registry::RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type,
                                           const std::uint8_t* data, std::uint32_t byte_count) {
  const std::string name = ToAnsiCp(value_name);
  return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, byte_count);
}

std::int32_t Win32Registry::RegDeleteValueA(RegKey key, std::wstring_view value_name) {
  const std::string name = ToAnsiCp(value_name);
  return ::RegDeleteValueA(ToHkey(key), name.c_str());
}

std::int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace np
