// The Win32 backend assembled with the run-time layer.
#include "app/win32_platform.h"

#include <commctrl.h>

#include "resources/product.h"
#include "resources/resource_ids.h"

namespace np {

namespace {

HICON LoadAppIcon(HINSTANCE instance) {
  // The one 16 x 16 image, unstretched: it is what the tray shows.
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, 0));
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance)
    : errors(boxes, codec, kProductName), windows(instance, LoadAppIcon(instance), errors) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  if (!InitCommonControlsEx(&controls)) errors.Report("cannot initialise the common controls");
}

}  // namespace np
