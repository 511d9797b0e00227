// Looks at and works the Settings window of another process, for the tests.
//   settings_probe wait <timeout_ms> [visible|hidden|new <old hwnd>]
//   settings_probe show | check | click | close
// Output is one line of key=value pairs; exit code 1 when the window is missing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kClass[] = "NorvanePelluminForm";
constexpr char kTitle[] = "Settings";

HWND Settings() { return FindWindowA(kClass, kTitle); }

HWND Child(HWND parent, const char* cls) { return FindWindowExA(parent, nullptr, cls, nullptr); }

void PrintRect(const char* name, HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  std::printf(" %s=%ld,%ld,%ld,%ld", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int Show(HWND w) {
  RECT client;
  GetClientRect(w, &client);
  HWND box = Child(w, "Button"), edit = Child(w, "Edit");
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  char text[256] = "";
  // Another process's control answers WM_GETTEXT itself; GetWindowText would
  // only return the window's cached title.
  SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("hwnd=%llu visible=%d client=%ld,%ld sizebox=%d minbox=%d maxbox=%d sysmenu=%d",
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w)), IsWindowVisible(w) ? 1 : 0, client.right,
              client.bottom, (style & WS_THICKFRAME) ? 1 : 0, (style & WS_MINIMIZEBOX) ? 1 : 0,
              (style & WS_MAXIMIZEBOX) ? 1 : 0, (style & WS_SYSMENU) ? 1 : 0);
  PrintRect("box", w, box);
  PrintRect("edit", w, edit);
  // The first child in z-order is the first in tab order.
  std::printf(" first_tab=%s check=%d text=%s icon=%d\n", GetWindow(w, GW_CHILD) == box ? "box" : "other",
              static_cast<int>(SendMessageA(box, BM_GETCHECK, 0, 0)), text,
              SendMessageA(w, WM_GETICON, ICON_SMALL, 0) != 0 || GetClassLongPtrA(w, GCLP_HICONSM) != 0);
  return 0;
}

int Wait(DWORD timeout_ms, const char* condition, UINT_PTR old) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND w = Settings();
    bool ok = w != nullptr;
    if (ok && condition != nullptr && std::strcmp(condition, "visible") == 0) ok = IsWindowVisible(w);
    if (ok && condition != nullptr && std::strcmp(condition, "hidden") == 0) ok = !IsWindowVisible(w);
    if (ok && condition != nullptr && std::strcmp(condition, "new") == 0) {
      // A new window is found as soon as it exists; the host writes its text box
      // only once the load step is over, so wait for that text too.
      HWND edit = Child(w, "Edit");
      ok = reinterpret_cast<UINT_PTR>(w) != old && edit != nullptr && SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0) > 0;
    }
    if (ok) return Show(w);
    if (GetTickCount() - start > timeout_ms) break;
    Sleep(20);  // polling a condition against a deadline
  }
  std::printf("missing\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "wait" && argc > 2) {
    return Wait(std::strtoul(argv[2], nullptr, 10), argc > 3 ? argv[3] : nullptr,
                argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0);
  }
  HWND w = Settings();
  if (w == nullptr) {
    std::printf("missing\n");
    return 1;
  }
  if (mode == "show" || mode == "check") return Show(w);
  if (mode == "click") {
    // SendMessage returns once the click and its handling are done.
    SendMessageA(Child(w, "Button"), BM_CLICK, 0, 0);
    return Show(w);
  }
  if (mode == "close") {
    PostMessageA(w, WM_CLOSE, 0, 0);
    std::printf("closed\n");
    return 0;
  }
  std::printf("usage: settings_probe wait <ms> [visible|hidden|new <hwnd>] | show | check | click | close\n");
  return 2;
}
