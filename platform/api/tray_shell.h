// The notification-area shell call and the first-version ANSI record it takes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace np {

inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimDelete = 2;
inline constexpr std::uint32_t kNifMessage = 1, kNifIcon = 2, kNifTip = 4;
inline constexpr std::size_t kTrayTipChars = 64;

// Mirrors NOTIFYICONDATAA up to szTip (the shell's NOTIFYICONDATA_V1_SIZE):
// handles are pointer sized, so the record is 88 bytes on i386, 104 on x86_64.
struct AnsiNotifyIconData {
  std::uint32_t cbSize;
  std::uintptr_t hWnd;
  std::uint32_t uID;
  std::uint32_t uFlags;
  std::uint32_t uCallbackMessage;
  std::uintptr_t hIcon;
  char szTip[kTrayTipChars];
};
static_assert(sizeof(void*) != 4 || sizeof(AnsiNotifyIconData) == 88, "i386 record");
static_assert(sizeof(void*) != 8 || sizeof(AnsiNotifyIconData) == 104, "x86_64 record");

class TrayShell {
 public:
  virtual ~TrayShell() = default;
  // shell32 Shell_NotifyIconA. The result is never looked at by the program.
  virtual bool NotifyIconA(std::uint32_t message, AnsiNotifyIconData* data) = 0;
};

}  // namespace np
