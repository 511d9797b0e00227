// The Registry module: three self-contained procedures on one named value.
// Each opens one key, does its single operation, closes the key and returns
// the platform's status (0 for success). They never raise, never show
// anything and never create or delete a key. A name or text that the ANSI
// code page cannot hold exactly is refused with ERROR_NO_UNICODE_TRANSLATION
// before anything is touched: a lossy conversion would name or store
// something else.
#pragma once
#include <cstdint>
#include <string>

#include "platform/api/registry_api.h"
#include "platform/api/text_codec.h"
#include "settings/variant.h"

namespace np {

inline constexpr std::uint32_t kAccessWrite = 0x3F;  // the six key-specific rights
inline constexpr std::uint32_t kAccessRead = 0x19;   // KEY_READ without READ_CONTROL

// The registry calls and the code page the procedures work through.
struct RegistryContext {
  RegistryApi& api;
  TextCodec& codec;
};

// Open's status when the open failed, else the close's. A failed delete of
// the value itself is not reported (a missing value deletes "successfully").
std::int32_t RegDeleteValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                                 const std::wstring& strValueName);

// Stores I2/I4 as REG_DWORD, strings as REG_SZ (ANSI, with the NUL); other
// types store nothing. Open's status when the open failed, else the store's
// when the store failed, else the close's.
std::int32_t RegWriteValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                                const std::wstring& strValueName, const Variant& varData);

// REG_SZ yields the whole query buffer (text, NUL, filler); REG_DWORD an I4 of
// its first four bytes, however long the value is; other types leave varData
// untouched with status 0. Open's status when the open failed, else the first
// failed query's, else the close's.
std::int32_t RegReadValueEntry(RegistryContext reg, RegKey hRootKey, const std::wstring& strSubKey,
                               const std::wstring& strValueName, Variant& varData);

}  // namespace np
