// The tray icon record frMain holds for the whole run, and its ANSI shell image.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "platform/api/text_codec.h"
#include "platform/api/tray_shell.h"

namespace np {

inline constexpr std::uint32_t kTrayCallbackMessage = 512;  // arrives as WM_MOUSEMOVE

// Same fields as the shell record, but the tip is held wide.
struct TrayIconRecord {
  std::uint32_t cbSize = 0;
  std::uintptr_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uintptr_t hIcon = 0;
  std::array<wchar_t, kTrayTipChars> szTip{};
};

// The tip, one NUL, then spaces to the end of the 64-character field.
std::array<wchar_t, kTrayTipChars> PaddedTip(std::wstring_view tip);

// The temporary copy handed to Shell_NotifyIconA; the held record never changes.
AnsiNotifyIconData ToAnsiRecord(const TrayIconRecord& record, TextCodec& codec);

}  // namespace np
