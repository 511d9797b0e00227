// The five ANSI registry calls the Registry module is built on.
#pragma once
#include <cstdint>
#include <string_view>

namespace np {

using RegKey = std::uintptr_t;
// Predefined roots are sign-extended 32-bit values, as HKEY holds them.
inline constexpr RegKey kHkeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

inline constexpr std::uint32_t kRegSz = 1, kRegDword = 4;
inline constexpr std::int32_t kErrorSuccess = 0, kErrorNoUnicodeTranslation = 1113;

// Names are wide here; the backend converts them to the ANSI code page at the call.
// Each returns the platform's status, 0 for success.
class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  virtual std::int32_t RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options,
                                     std::uint32_t access, RegKey* result) = 0;
  // data may be null (size query); *byte_count is in/out as in the Win32 call.
  virtual std::int32_t RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t* byte_count) = 0;
  virtual std::int32_t RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t byte_count) = 0;
  virtual std::int32_t RegDeleteValueA(RegKey key, std::wstring_view value_name) = 0;
  virtual std::int32_t RegCloseKey(RegKey key) = 0;
};

}  // namespace np
