// The entry point: the Win32 services, the program, and the message loop.
#include <windows.h>

#include <commctrl.h>

#include "core/fr_main.h"
#include "core/program.h"
#include "platform/common/error_reporter.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text_codec.h"
#include "platform/win32/win32_window_system.h"
#include "resources/resource_ids.h"

namespace {

HICON LoadAppIcon(HINSTANCE instance) {
  // The one 16 x 16 image, unstretched: it is what the tray shows.
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0));
}

// Tab and arrow keys move between the controls of our dialog-like windows.
bool IsDialogKey(MSG& msg) {
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  return root != nullptr && (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 &&
         IsDialogMessageA(root, &msg);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  np::Win32Application app;
  np::Win32Clock clock;
  np::Win32Keyboard keyboard;
  np::Win32TrayShell tray;
  np::Win32MessageBoxes boxes;
  np::Win32TextCodec codec;
  np::Win32Registry registry;
  np::ErrorReporter errors(boxes, codec, np::kAppTitle);
  np::Win32WindowSystem windows(instance, LoadAppIcon(instance), errors);
  np::Platform platform{app, clock, keyboard, tray, boxes, windows, codec, registry, errors};

  np::Program program(platform);
  if (!program.Start()) return 1;

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
