// The registry calls of the Registry module, on advapi32's ANSI functions.
#pragma once
#include "platform/api/registry_api.h"

namespace np {

class Win32Registry final : public RegistryApi {
 public:
  std::int32_t RegOpenKeyExA(RegKey root, std::wstring_view sub_key, std::uint32_t options, std::uint32_t access,
                             RegKey* result) override;
  std::int32_t RegQueryValueExA(RegKey key, std::wstring_view value_name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* byte_count) override;
  std::int32_t RegSetValueExA(RegKey key, std::wstring_view value_name, std::uint32_t type, const std::uint8_t* data,
                              std::uint32_t byte_count) override;
  std::int32_t RegDeleteValueA(RegKey key, std::wstring_view value_name) override;
  std::int32_t RegCloseKey(RegKey key) override;
};

}  // namespace np
