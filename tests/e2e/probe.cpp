// np_probe: the Wine tests' observer from outside the programs under test: key
// events and lock states, message boxes, tray icons, the program's windows.
// Prints one "key=value" field per line unless stated otherwise.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kFormClass[] = "NorvanePelluminForm";

double now_ms() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

bool is_class(HWND h, const char* cls) {
  char name[64];
  return GetClassNameA(h, name, sizeof name) && _stricmp(name, cls) == 0;
}

template <class Pred>
BOOL CALLBACK collect(HWND h, LPARAM p) {
  auto* ctx = reinterpret_cast<std::pair<Pred*, std::vector<HWND>>*>(p);
  if ((*ctx->first)(h)) ctx->second.push_back(h);
  return TRUE;
}

template <class Pred>
std::vector<HWND> windows_where(HWND parent, Pred pred) {
  std::pair<Pred*, std::vector<HWND>> ctx{&pred, {}};
  if (parent)
    EnumChildWindows(parent, collect<Pred>, reinterpret_cast<LPARAM>(&ctx));
  else
    EnumWindows(collect<Pred>, reinterpret_cast<LPARAM>(&ctx));
  return ctx.second;
}

template <class F>
auto poll(DWORD timeout_ms, F f) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    auto v = f();
    if (!v.empty() || GetTickCount64() > end) return v;
    Sleep(20);  // polling against the deadline above
  }
}

// Wine without a virtual desktop shows the icons as children of a standalone tray window.
std::vector<HWND> tray_icons() {
  HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
  if (!tray || !IsWindowVisible(tray)) return {};
  return windows_where(tray, [](HWND h) { return is_class(h, "__winex11_tray_icon") && IsWindowVisible(h); });
}

// TTTOOLINFOW as the tooltip's process reads it: handles and pointers take 4
// bytes in a 32-bit process (48 bytes in all), 8 in a 64-bit one (72).
template <class Word>
struct ToolInfo {
  UINT size, flags;
  Word hwnd, id;
  RECT rect;
  Word instance, text, param, reserved;
};
static_assert(sizeof(ToolInfo<UINT>) == 48 && sizeof(ToolInfo<UINT_PTR>) == sizeof(TTTOOLINFOW));

// The tip of a tool that is a window, from the tooltips its top-level window
// owns. TTM_GETTEXTW's record and buffer must be in the tooltip's process, in
// its layout: pellumin's, of either kind, or Wine's tray, 64-bit on this prefix
// (IsWow64Process, from either side, tells a 32-bit process). With `shown`,
// what a user sees instead: the text of a tooltip on the screen now (hidden,
// it keeps its last), by WM_GETTEXT, which the system carries across.
std::string tip_of(HWND tool, bool shown) {
  HWND owner = GetAncestor(tool, GA_ROOT);
  wchar_t text[1024] = {};
  for (HWND tt : windows_where(
           nullptr, [&](HWND h) { return GetWindow(h, GW_OWNER) == owner && is_class(h, TOOLTIPS_CLASSA); })) {
    if (shown && IsWindowVisible(tt)) SendMessageW(tt, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    if (shown) continue;
    DWORD pid = 0;
    GetWindowThreadProcessId(tt, &pid);
    HANDLE proc = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_OPERATION | PROCESS_VM_READ |
                              PROCESS_VM_WRITE, FALSE, pid);
    auto* remote = static_cast<char*>(proc ? VirtualAllocEx(proc, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE) : nullptr);
    const auto at = reinterpret_cast<UINT_PTR>(remote + 512), id = reinterpret_cast<UINT_PTR>(tool);
    const ToolInfo<UINT> ti32{48, 0, HandleToUlong(tool), HandleToUlong(tool), {}, 0, static_cast<UINT>(at), 0, 0};
    const ToolInfo<UINT64> ti64{72, 0, id, id, {}, 0, at, 0, 0};
    BOOL wow64 = FALSE;
    if (remote && IsWow64Process(proc, &wow64) &&
        WriteProcessMemory(proc, remote, wow64 ? static_cast<const void*>(&ti32) : &ti64, wow64 ? 48 : 72, nullptr) &&
        WriteProcessMemory(proc, remote + 512, text, sizeof text, nullptr) &&
        SendMessageTimeoutW(tt, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 2000, nullptr))
      ReadProcessMemory(proc, remote + 512, text, sizeof text - 2, nullptr);
    if (remote) VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    if (proc) CloseHandle(proc);
    if (*text) break;
  }
  char utf8[2048] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

std::vector<HWND> visible_boxes() {
  return windows_where(nullptr, [](HWND h) { return IsWindowVisible(h) && is_class(h, "#32770"); });
}

// A thread sees only the lock toggles made after it started, so only a
// long-lived watcher can read them.
std::string locks() {
  std::string s;
  for (int vk : {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL}) s += static_cast<char>('0' + (GetKeyState(vk) & 1));
  return s;
}

FILE* g_log = nullptr;
HHOOK g_hook = nullptr;

// The hook runs before the event reaches the key state: "locks" is what the event found.
// The system hands it the event's record in this process's own layout.
LRESULT CALLBACK on_key(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
    std::fprintf(g_log, "key t=%.3f vk=%lu scan=%lu flags=%lu extra=%llu msg=%llu time=%lu locks=%s\n", now_ms(),
                 k->vkCode, k->scanCode, k->flags, static_cast<unsigned long long>(k->dwExtraInfo),
                 static_cast<unsigned long long>(wp), k->time, locks().c_str());
    std::fflush(g_log);
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

// Logs key events and each change of tray icons, open boxes and locks, one per
// line, until "<log>.stop" exists, or for `minutes` if a killed run never makes it.
int watch(const char* log_path, ULONGLONG minutes) {
  g_log = std::fopen(log_path, "w");
  g_hook = SetWindowsHookExA(WH_KEYBOARD_LL, on_key, GetModuleHandleA(nullptr), 0);
  if (!g_log || !g_hook) return 2;
  const std::string stop = std::string(log_path) + ".stop";
  std::string state, kind = "ready";
  const ULONGLONG end = GetTickCount64() + minutes * 60000;
  while (GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < end) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    std::string now = "tray=" + std::to_string(tray_icons().size()) +
                      " boxes=" + std::to_string(visible_boxes().size()) + " locks=" + locks();
    if (now != state) {
      std::fprintf(g_log, "%s t=%.3f %s\n", kind.c_str(), now_ms(), now.c_str());
      std::fflush(g_log);
      state = now, kind = "state";
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  UnhookWindowsHookEx(g_hook);
  std::fclose(g_log);
  return 0;
}

// Which system icon a box shows. Another process's icon cannot be read under
// Wine, so its pixels on the screen are matched against each one drawn here.
std::string icon_shown(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, CreateCompatibleBitmap(screen, w, h));
  auto pixels = [&] {
    std::vector<COLORREF> p;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.push_back(GetPixel(dc, x, y));
    return p;
  };
  BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  const std::vector<COLORREF> shown = pixels();
  std::string name;
  const std::pair<LPCSTR, const char*> icons[] = {
      {IDI_HAND, "hand"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"}};
  for (auto [id, icon] : icons) {
    const RECT all{0, 0, w, h};
    SetDCBrushColor(dc, shown.empty() ? 0 : shown[0]);  // a corner no icon covers
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    DrawIconEx(dc, 0, 0, LoadIconA(nullptr, id), w, h, 0, nullptr, DI_NORMAL);
    if (pixels() == shown) name = icon;
  }
  DeleteObject(SelectObject(dc, old));
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return name;
}

int box(const char* title, DWORD timeout_ms, bool click) {
  auto found = poll(timeout_ms, [&] {
    HWND h = FindWindowA("#32770", title);
    return std::vector<HWND>(h && IsWindowVisible(h) ? 1 : 0, h);
  });
  if (found.empty()) return 1;
  HWND b = found[0];
  char caption[256] = {}, text[512] = {};
  // Texts by WM_GETTEXT, which the system carries across; of the icon, only whether it has a handle.
  GetWindowTextA(b, caption, sizeof caption);
  GetDlgItemTextA(b, 0xFFFF, text, sizeof text);
  std::string buttons, icon = "none";
  for (HWND c : windows_where(b, [](HWND h) { return IsWindowVisible(h) != 0; })) {
    char label[64] = {};
    if (is_class(c, "Button") && GetWindowTextA(c, label, sizeof label) >= 0)
      buttons += std::to_string(GetDlgCtrlID(c)) + ":" + label + " ";
    else if (is_class(c, "Static") && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
             SendMessageA(c, STM_GETICON, 0, 0) != 0)
      icon = poll(2000, [&] { return icon_shown(c); });  // until it is painted
  }
  std::printf("caption=%s\ntext=%s\nbuttons=%s\nicon=%s\n", caption, text, buttons.c_str(),
              icon.empty() ? "other" : icon.c_str());
  if (click) PostMessageA(GetDlgItem(b, IDOK), BM_CLICK, 0, 0);
  return 0;
}

int tray(DWORD timeout_ms) {
  std::vector<HWND> icons = poll(timeout_ms, tray_icons);
  for (HWND icon : icons) {
    RECT r;
    GetWindowRect(icon, &r);
    std::printf("icon=%ld,%ld,%ld,%ld %s\n", r.left, r.top, r.right, r.bottom,
                tip_of(icon, false).c_str());
  }
  return icons.empty() ? 1 : 0;
}

void print_rect(const char* name, HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  if (parent) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  std::printf("%s=%ld,%ld,%ld,%ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int describe(HWND w) {
  RECT client;
  GetClientRect(w, &client);
  HWND check = FindWindowExA(w, nullptr, "Button", nullptr), edit = FindWindowExA(w, nullptr, "Edit", nullptr);
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  char text[256] = "";
  // GetWindowText of another process's control returns only its cached title;
  // WM_GETTEXT's buffer the system carries across, whatever either side's kind.
  SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("hwnd=%llu\nvisible=%d\nscreen=%d,%d\nclient=%ld,%ld\nframe=%s%s%s%s\n",
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w)), IsWindowVisible(w) ? 1 : 0,
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), client.right, client.bottom,
              style & WS_THICKFRAME ? "size," : "", style & WS_MINIMIZEBOX ? "min," : "",
              style & WS_MAXIMIZEBOX ? "max," : "", style & WS_SYSMENU ? "close" : "");
  print_rect("window", nullptr, w);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  std::printf("face=%02x%02x%02x\n", GetRValue(face), GetGValue(face), GetBValue(face));
  if (!check || !edit) return 0;
  print_rect("check", w, check);
  print_rect("edit", w, edit);
  print_rect("edit_on_screen", nullptr, edit);
  // The first child in z-order is the first in tab order.
  std::printf("first_tab=%s\nchecked=%d\ntext=%s\ntip=%s\ntip_shown=%s\n",
              GetWindow(w, GW_CHILD) == check ? "check" : "other",
              static_cast<int>(SendMessageA(check, BM_GETCHECK, 0, 0)), text,
              tip_of(edit, false).c_str(), tip_of(edit, true).c_str());
  return 0;
}

// A program's window by title, other than `old`. The test host writes into the
// Settings window's text box once its load step is over; the main window has none.
HWND find_form(const char* title, DWORD timeout_ms, UINT_PTR old) {
  auto found = poll(timeout_ms, [&] {
    HWND w = FindWindowA(kFormClass, title);
    HWND edit = w ? FindWindowExA(w, nullptr, "Edit", nullptr) : nullptr;
    // A window with a text box has finished loading once the box has text;
    // one without is shown only after its load step.
    const bool loaded = !*title || (edit ? SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0) > 0 : IsWindowVisible(w) != 0);
    return std::vector<HWND>(w && reinterpret_cast<UINT_PTR>(w) != old && loaded ? 1 : 0, w);
  });
  return found.empty() ? nullptr : found[0];
}

// Posts WM_CLOSE, then WM_SETREDRAW as a marker: DefWindowProc turns it into the
// WS_VISIBLE style, so seeing that style proves the WM_CLOSE before it was handled.
int close(HWND w, DWORD timeout_ms) {
  const bool was_visible = IsWindowVisible(w);
  PostMessageA(w, WM_CLOSE, 0, 0);
  if (!was_visible) PostMessageA(w, WM_SETREDRAW, TRUE, 0);
  poll(timeout_ms, [&] { return std::vector<HWND>(!IsWindow(w) || (!was_visible && IsWindowVisible(w)) ? 1 : 0, w); });
  const bool gone = !IsWindow(w);
  if (!gone && !was_visible) SendMessageA(w, WM_SETREDRAW, FALSE, 0);
  std::printf("gone=%d\n", gone ? 1 : 0);
  return 0;
}

// Removes pellumin's tray icon as a crashed shell would lose it. The shell
// knows an icon by window and id, and the id is pellumin's icon handle, which
// another process cannot read. Wine's tray keeps each icon in a record behind
// its icon window's user data: the owner's handle (the one of pellumin's class
// there), then the id a few fields on. Read as 32-bit words, it holds in either
// layout (the tray, Wine's explorer, is 64-bit on this prefix, pellumin of
// either kind): a handle is its low word. Every word after the owner is tried
// as the id; a wrong one is refused.
int untray() {
  for (HWND icon : tray_icons()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(icon, &pid);
    HANDLE tray = OpenProcess(PROCESS_VM_READ, FALSE, pid);
    UINT record[64] = {};
    const auto* at = reinterpret_cast<const void*>(GetWindowLongPtrA(icon, GWLP_USERDATA));
    const bool read = tray && at && ReadProcessMemory(tray, at, record, sizeof record, nullptr);
    if (tray) CloseHandle(tray);
    for (int i = 0; read && i < 16; ++i) {
      NOTIFYICONDATAA data{};
      data.cbSize = NOTIFYICONDATAA_V1_SIZE;
      data.hWnd = static_cast<HWND>(ULongToHandle(record[i]));
      for (int k = i + 1; is_class(data.hWnd, kFormClass) && k <= i + 32; ++k) {
        data.uID = record[k];
        if (data.uID != 0 && Shell_NotifyIconA(NIM_DELETE, &data)) {
          std::printf("removed=%u\n", data.uID);
          return 0;
        }
      }
    }
  }
  return 1;
}

// The open popup menu (class #32768). Another process cannot read its items,
// so a test chooses one with keys, as a user can: Down n times (separators are
// skipped), then Return; or Escape. The keys go to the menu's modal loop.
int menu(DWORD timeout_ms, int downs) {
  auto open = [] {
    HWND m = FindWindowA("#32768", nullptr);
    return std::vector<HWND>(m && IsWindowVisible(m) ? 1 : 0, m);
  };
  auto found = poll(timeout_ms, open);
  if (found.empty()) return 1;
  print_rect("menu", nullptr, found[0]);
  if (downs < 0) return 0;
  auto tap = [](BYTE vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
  };
  for (int i = 0; i < downs; ++i) tap(VK_DOWN);
  tap(downs == 0 ? VK_ESCAPE : VK_RETURN);
  auto closed = poll(timeout_ms, [&] { return std::vector<HWND>(open().empty() ? 1 : 0, nullptr); });
  std::printf("closed=%d\n", closed.empty() ? 0 : 1);
  return 0;
}

// A reference menu with pellumin's items at x, y, "About" as its default item
// or none, so that a test can compare pellumin's menu with both. Prints the choice.
int popup(int x, int y, bool with_default) {
  HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  HMENU m = CreatePopupMenu();
  AppendMenuA(m, MF_STRING, 1, "About");
  AppendMenuA(m, MF_STRING, 2, "Settings");
  AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(m, MF_STRING, 3, "Exit");
  if (with_default) SetMenuDefaultItem(m, 1, FALSE);
  SetForegroundWindow(owner);  // else the menu gets no keys
  std::printf("chosen=%d\n", TrackPopupMenu(m, TPM_LEFTALIGN | TPM_RETURNCMD, x, y, 0, owner, nullptr));
  DestroyMenu(m);
  DestroyWindow(owner);
  return 0;
}

int usage() {
  std::printf(
      "usage: np_probe watch <log> [minutes] | toggle <vk>... | box <title> <ms> [click] | tray <ms>\n"
      "       form <title> <ms> [old hwnd] | click <title> | close <title> <ms> | type <title> <text>\n"
      "       untray | taskbar-created | menu <ms> [downs, 0 for Escape] | popup <x> <y> <0|1 default> | cursor\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string mode = argc > 1 ? argv[1] : "";
  auto num = [&](int i) { return argc > i ? std::strtoull(argv[i], nullptr, 10) : 0ULL; };
  if (mode == "watch" && argc >= 3) return watch(argv[2], argc > 3 ? num(3) : 10);
  if (mode == "toggle") {
    // Releases first: a program ended mid-pulse may have left the key down,
    // and pressing a key that is down toggles nothing.
    for (int i = 2; i < argc; ++i) {
      const auto vk = static_cast<BYTE>(num(i));
      keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
      keybd_event(vk, 0, 0, 0);
      keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
    }
    return 0;
  }
  if (mode == "box" && argc >= 4) return box(argv[2], num(3), argc > 4);
  if (mode == "tray" && argc == 3) return tray(num(2));
  if (mode == "untray") return untray();
  if (mode == "menu" && argc >= 3) return menu(num(2), argc > 3 ? std::atoi(argv[3]) : -1);
  if (mode == "popup" && argc == 5) return popup(std::atoi(argv[2]), std::atoi(argv[3]), num(4) != 0);
  if (mode == "cursor") {
    // The foreground thread's pointer. Its bits cannot be read from another
    // process under Wine (GetIconInfo fails), only its handle: a user handle
    // is its low 32 bits in processes of either architecture.
    CURSORINFO info{sizeof info, 0, nullptr, {}};
    if (!GetCursorInfo(&info)) return 1;
    std::printf("cursor=%lx\n", HandleToUlong(info.hCursor));
    return 0;
  }
  if (mode == "taskbar-created") {
    // What a new shell broadcasts once its notification area exists.
    SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    std::printf("sent=1\n");
    return 0;
  }
  if (mode == "form" && argc >= 4) {
    HWND w = find_form(argv[2], num(3), num(4));
    return w ? describe(w) : 1;
  }
  HWND w = argc > 2 ? FindWindowA(kFormClass, argv[2]) : nullptr;
  if (mode == "click" && w) {
    // Returns once the click and its handling are done.
    SendMessageA(FindWindowExA(w, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
    return describe(w);
  }
  if (mode == "close" && w && argc == 4) return close(w, num(3));
  if (mode == "type" && w && argc == 4) {
    // As a paste would: the box tells its window of the change. Its owner may
    // write over it at once, so what is reported is that the box took it.
    const LRESULT set =
        SendMessageA(FindWindowExA(w, nullptr, "Edit", nullptr), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
    std::printf("set=%d\n", set == TRUE ? 1 : 0);
    return 0;
  }
  return w || argc <= 2 ? usage() : 1;
}
