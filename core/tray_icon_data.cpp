// The tray icon record and its conversion for the ANSI shell call.
#include "core/tray_icon_data.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace np {

std::array<wchar_t, kTrayTipChars> PaddedTip(std::wstring_view tip) {
  std::array<wchar_t, kTrayTipChars> field{};
  field.fill(L' ');
  const std::size_t n = std::min(tip.size(), kTrayTipChars - 1);
  std::copy_n(tip.begin(), n, field.begin());
  field.at(n) = L'\0';
  return field;
}

AnsiNotifyIconData ToAnsiRecord(const TrayIconRecord& record, TextCodec& codec) {
  AnsiNotifyIconData out{};
  std::memset(&out, 0, sizeof out);  // padding bytes too: the shell sees a clean image
  out.cbSize = record.cbSize;
  out.hWnd = record.hWnd;
  out.uID = record.uID;
  out.uFlags = record.uFlags;
  out.uCallbackMessage = record.uCallbackMessage;
  out.hIcon = record.hIcon;
  const std::string tip = codec.ToAnsi(std::wstring_view(record.szTip.data(), record.szTip.size()));
  std::memset(out.szTip, ' ', sizeof out.szTip);
  std::memcpy(out.szTip, tip.data(), std::min(tip.size(), sizeof out.szTip));
  // A multi-byte code page could push the terminator out of the field.
  if (std::memchr(out.szTip, '\0', sizeof out.szTip) == nullptr) out.szTip[sizeof out.szTip - 1] = '\0';
  return out;
}

}  // namespace np
