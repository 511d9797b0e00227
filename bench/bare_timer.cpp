// The yardstick for idle cost: one 30 ms timer with an empty handler, the least
// any program sampling at that rate can cost. Hidden by default; with the
// argument "settings" it also shows a window of the Settings window's size,
// frame and controls (focus on the check box), the floor for pellumin with
// its Settings window open.
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_TIMER) return 0;
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
