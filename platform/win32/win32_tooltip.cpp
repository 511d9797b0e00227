// A window's one tooltip window.
#include "platform/win32/win32_tooltip.h"

#include <commctrl.h>

#include "platform/win32/win32_text_codec.h"

namespace np {

void WindowTooltip::AddChild(HWND child, const std::wstring& text) {
  Add(TTF_IDISHWND, reinterpret_cast<UINT_PTR>(child), {}, text);
}

void WindowTooltip::AddArea(UINT_PTR id, const RECT& bounds, const std::wstring& text) { Add(0, id, bounds, text); }

void WindowTooltip::Add(UINT flags, UINT_PTR id, const RECT& bounds, const std::wstring& text) {
  if (text.empty()) return;
  if (tooltip_ == nullptr) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_, nullptr, instance_, nullptr);
    if (tooltip_ == nullptr) {
      errors_.Report("cannot create a tooltip");
      return;
    }
  }
  std::string ansi = ToAnsiCp(text);
  TOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V2_SIZE;  // accepted by every common-controls version
  info.uFlags = flags;  // mouse messages come by Relay, not by subclassing the tool
  info.hwnd = owner_;
  info.uId = id;
  info.rect = bounds;
  info.lpszText = ansi.data();  // the tooltip keeps a copy
  if (!SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info))) errors_.Report("cannot add a tooltip");
}

void WindowTooltip::Relay(const MSG& msg) {
  if (tooltip_ != nullptr) SendMessageA(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

}  // namespace np
