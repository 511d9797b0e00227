// The yardstick for idle cost: one 30 ms timer with an empty handler, the least
// any program sampling at that rate can cost. Hidden by default; with the
// argument "settings" it also shows a window of the Settings window's size,
// frame and controls (focus on the check box), the floor for pellumin with
// its Settings window open. Built again as np_sample_timer, whose handler
// makes pellumin's own sample: the floor plus the sample, so that the idle
// cost splits into the sample's and the rest of pellumin's.
#include <windows.h>

#include <cstring>

#ifdef NP_SAMPLE_AT_TICK
#include <memory>
#include <string>

#include "core/rate.h"
#include "platform/win32/win32_disk_sources.h"
#endif

namespace {

#ifdef NP_SAMPLE_AT_TICK
// What a quiet tick of pellumin does for its sample: collect, the rate read
// twice (its text, then whether to flash), the text compared with the box's.
struct Sample {
  std::unique_ptr<np::DiskRateSource> source = np::Win32DiskRateSources().Open();
  std::wstring kept;
  HWND box = nullptr;
  unsigned unflashed = 0;

  void Take() {
    source->Collect();
    const std::wstring text = np::RateText(source->Value(), [] { return std::wstring(L"."); });
    if (text != kept) {
      kept = text;
      if (box != nullptr) SetWindowTextW(box, text.c_str());
    }
    if (source->Value() > 0) ++unflashed;  // no flash: the quiet rounds are the ones to compare
  }
};
Sample* sample = nullptr;
#endif

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_TIMER) {
#ifdef NP_SAMPLE_AT_TICK
    sample->Take();
#endif
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

// As pellumin lays Settings out at 96 dpi: client 154 x 90, a check box and a text box.
HWND ShowSettingsLike(HINSTANCE instance, const char* cls) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT r{0, 0, 154, 90};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_CONTROLPARENT);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HWND w = CreateWindowExA(WS_EX_CONTROLPARENT, cls, "Settings", style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                           (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr, instance,
                           nullptr);
  const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  HWND check = CreateWindowExA(0, "BUTTON", "Start with Windows?", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                               16, 16, 129, 25, w, nullptr, instance, nullptr);
  HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "0", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
                              8, 56, 137, 19, w, nullptr, instance, nullptr);
  SendMessageA(check, WM_SETFONT, font, FALSE);
  SendMessageA(edit, WM_SETFONT, font, FALSE);
  ShowWindow(w, SW_SHOWNORMAL);
  SetForegroundWindow(w);
  SetFocus(check);
#ifdef NP_SAMPLE_AT_TICK
  sample->box = edit;
#endif
  return w;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "NpBareTimer";
  RegisterClassA(&wc);
#ifdef NP_SAMPLE_AT_TICK
  Sample taken;
  sample = &taken;
#endif
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              instance, nullptr);
  HWND shown = std::strcmp(command_line, "settings") == 0 ? ShowSettingsLike(instance, wc.lpszClassName) : nullptr;
  SetTimer(hwnd, 1, 30, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (shown != nullptr && IsDialogMessageA(shown, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
