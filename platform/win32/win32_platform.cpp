// All Win32 services in one object, and the message loop.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include "resources/product.h"
#include "resources/resource_ids.h"

namespace np {

namespace {

HICON LoadAppIcon(HINSTANCE instance) {
  // The one 16 x 16 image, unstretched: it is what the tray shows.
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0));
}

// Hands every message of our dialog-like windows to the dialog manager, which
// moves between their controls on Tab and arrow keys; true when it took the message.
bool DialogManagerTook(MSG& msg) {
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  return root != nullptr && (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 &&
         IsDialogMessageA(root, &msg);
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance)
    : errors(boxes, codec, kProductName), windows(instance, LoadAppIcon(instance), errors) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  if (!InitCommonControlsEx(&controls)) errors.Report("cannot initialise the common controls");
}

int Win32Platform::RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (DialogManagerTook(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace np
