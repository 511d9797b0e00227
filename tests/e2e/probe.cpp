// np_probe: the end-to-end tests' eyes inside the Wine session (key events, lock
// states, message boxes, tray icons). One line of "key=value" fields per fact.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double now_ms() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(freq.QuadPart);
}

std::string narrow(const wchar_t* w) {
  char buf[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, buf, sizeof buf, nullptr, nullptr);
  return n > 0 ? std::string(buf) : std::string();
}

// ---- tray ---------------------------------------------------------------

// Wine without a virtual desktop shows icons as child windows of a standalone
// tray window; a desktop shell would put them in Shell_TrayWnd instead.
constexpr const char* kTrayClass = "__winex11_standalone_tray";
constexpr const char* kTrayIconClass = "__winex11_tray_icon";

BOOL CALLBACK collect_icon(HWND h, LPARAM out) {
  char cls[64];
  if (GetClassNameA(h, cls, sizeof cls) && std::strcmp(cls, kTrayIconClass) == 0 && IsWindowVisible(h))
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(h);
  return TRUE;
}

// Visible icons of a visible tray; asks nothing of other threads, so it is
// cheap enough to call between hook callbacks.
std::vector<HWND> tray_icons() {
  std::vector<HWND> icons;
  HWND tray = FindWindowA(kTrayClass, nullptr);
  if (tray && IsWindowVisible(tray)) EnumChildWindows(tray, collect_icon, reinterpret_cast<LPARAM>(&icons));
  return icons;
}

struct TipSearch {
  HWND owner;
  std::vector<HWND> tooltips;
};

// A popup created with a child window as parent is owned by that child's
// top-level window, so every icon's tooltip is owned by the tray itself.
BOOL CALLBACK collect_tooltip(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<TipSearch*>(p);
  char cls[64];
  if (GetWindow(h, GW_OWNER) == s->owner && GetClassNameA(h, cls, sizeof cls) && std::strcmp(cls, TOOLTIPS_CLASSA) == 0)
    s->tooltips.push_back(h);
  return TRUE;
}

// The tooltip lives in the tray's process, so the tool record and the text
// buffer have to live there too.
std::string tool_text(HWND tooltip, HWND icon) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tooltip, &pid);
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!proc) return "<no access>";
  constexpr SIZE_T kTextOffset = 512, kTextChars = 1024;
  auto* remote =
      static_cast<char*>(VirtualAllocEx(proc, nullptr, kTextOffset + 2 * kTextChars, MEM_COMMIT, PAGE_READWRITE));
  std::string tip;
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = icon;
  ti.uId = reinterpret_cast<UINT_PTR>(icon);
  ti.lpszText = reinterpret_cast<LPWSTR>(remote + kTextOffset);
  wchar_t text[kTextChars] = {};
  DWORD_PTR result = 0;
  if (remote && WriteProcessMemory(proc, remote, &ti, sizeof ti, nullptr) &&
      WriteProcessMemory(proc, remote + kTextOffset, text, sizeof text, nullptr) &&
      SendMessageTimeoutW(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 2000,
                          &result) &&
      ReadProcessMemory(proc, remote + kTextOffset, text, sizeof text - 2, nullptr))
    tip = narrow(text);
  if (remote) VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
  CloseHandle(proc);
  return tip;
}

std::string icon_tip(HWND icon) {
  TipSearch s{GetAncestor(icon, GA_ROOT), {}};
  EnumWindows(collect_tooltip, reinterpret_cast<LPARAM>(&s));
  for (HWND tooltip : s.tooltips) {
    std::string tip = tool_text(tooltip, icon);
    if (!tip.empty()) return tip;
  }
  return "<none>";
}

// ---- message boxes --------------------------------------------------------

BOOL CALLBACK count_box(HWND h, LPARAM count) {
  char cls[16];
  if (IsWindowVisible(h) && GetClassNameA(h, cls, sizeof cls) && std::strcmp(cls, "#32770") == 0)
    ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int visible_boxes() {
  int n = 0;
  EnumWindows(count_box, reinterpret_cast<LPARAM>(&n));
  return n;
}

struct BoxParts {
  std::string buttons;
  int icons = 0;
};

BOOL CALLBACK describe_child(HWND h, LPARAM p) {
  auto* parts = reinterpret_cast<BoxParts*>(p);
  if (!IsWindowVisible(h)) return TRUE;
  char cls[32], text[256];
  GetClassNameA(h, cls, sizeof cls);
  if (_stricmp(cls, "Button") == 0) {
    GetWindowTextA(h, text, sizeof text);
    if (!parts->buttons.empty()) parts->buttons += ",";
    parts->buttons += std::to_string(GetDlgCtrlID(h)) + ":" + text;
  } else if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(h, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    if (icon) ++parts->icons;
  }
  return TRUE;
}

// ---- modes ------------------------------------------------------------------

FILE* g_log = nullptr;
HHOOK g_hook = nullptr;

// This thread's view of the lock toggles. Wine gives a new thread only the
// changes made after it started, so only a long-lived watcher can read them.
std::string locks() {
  std::string s = "000";
  s[0] = static_cast<char>('0' + (GetKeyState(VK_NUMLOCK) & 1));
  s[1] = static_cast<char>('0' + (GetKeyState(VK_CAPITAL) & 1));
  s[2] = static_cast<char>('0' + (GetKeyState(VK_SCROLL) & 1));
  return s;
}

// The hook runs before the event reaches the key state, so "locks" here is
// the state each event finds.
LRESULT CALLBACK on_key(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
    std::fprintf(g_log, "key t=%.3f vk=%lu scan=%lu flags=0x%02lx extra=%llu msg=0x%04llx time=%lu locks=%s\n",
                 now_ms(), k->vkCode, k->scanCode, k->flags, static_cast<unsigned long long>(k->dwExtraInfo),
                 static_cast<unsigned long long>(wp), k->time, locks().c_str());
    std::fflush(g_log);
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string state_fields() {
  return "tray=" + std::to_string(tray_icons().size()) + " boxes=" + std::to_string(visible_boxes()) +
         " locks=" + locks();
}

// Logs key events, and every change of tray icon count, open message boxes and
// lock states, on one clock, until "<log>.stop" appears.
int watch(const char* log_path, DWORD max_ms) {
  g_log = std::fopen(log_path, "w");
  if (!g_log) {
    std::printf("error=cannot open %s\n", log_path);
    return 2;
  }
  g_hook = SetWindowsHookExA(WH_KEYBOARD_LL, on_key, GetModuleHandleA(nullptr), 0);
  if (!g_hook) {
    std::fprintf(g_log, "error=hook %lu\n", GetLastError());
    return 2;
  }
  const std::string stop = std::string(log_path) + ".stop";
  std::string state = state_fields();
  std::fprintf(g_log, "ready t=%.3f %s\n", now_ms(), state.c_str());
  std::fflush(g_log);
  const ULONGLONG end = GetTickCount64() + max_ms;
  while (!file_exists(stop)) {
    if (GetTickCount64() > end) {
      std::fprintf(g_log, "expired t=%.3f\n", now_ms());
      break;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    std::string now = state_fields();
    if (now != state) {
      state = now;
      std::fprintf(g_log, "state t=%.3f %s\n", now_ms(), state.c_str());
      std::fflush(g_log);
    }
  }
  UnhookWindowsHookEx(g_hook);
  std::fprintf(g_log, "stopped t=%.3f\n", now_ms());
  std::fclose(g_log);
  return 0;
}

// Sets the lock states a test starts from: one ordinary press and release each.
int toggle(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    BYTE vk = static_cast<BYTE>(std::atoi(argv[i]));
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
  }
  return 0;
}

HWND wait_for_box(const char* title, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    HWND box = FindWindowA("#32770", title);
    if (box && IsWindowVisible(box)) return box;
    if (GetTickCount64() > end) return nullptr;
    Sleep(20);
  }
}

int findbox(const char* title, DWORD timeout_ms, bool click) {
  HWND box = wait_for_box(title, timeout_ms);
  if (!box) {
    std::printf("found=0\n");
    return 1;
  }
  char caption[256] = {}, text[512] = {};
  GetWindowTextA(box, caption, sizeof caption);
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  BoxParts parts;
  EnumChildWindows(box, describe_child, reinterpret_cast<LPARAM>(&parts));
  DWORD pid = 0;
  GetWindowThreadProcessId(box, &pid);
  std::printf("found=1\npid=%lu\ncaption=%s\ntext=%s\nbuttons=%s\nicons=%d\n", pid, caption, text,
              parts.buttons.c_str(), parts.icons);
  if (click) {
    bool posted = PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    std::printf("clicked=%d\n", posted ? 1 : 0);
  }
  return 0;
}

int tray(DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  std::vector<HWND> icons;
  while ((icons = tray_icons()).empty() && GetTickCount64() <= end) Sleep(20);
  std::printf("icons=%zu\n", icons.size());
  for (HWND icon : icons) {
    RECT r;
    GetWindowRect(icon, &r);
    std::printf("icon rect=%ld,%ld,%ld,%ld tip=%s\n", r.left, r.top, r.right, r.bottom, icon_tip(icon).c_str());
  }
  return icons.empty() ? 1 : 0;
}

int usage() {
  std::printf(
      "usage: np_probe watch <log> [max_ms] | toggle <vk>... |\n"
      "       findbox <title> <timeout_ms> [click] | tray <timeout_ms>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2) return usage();
  const std::string mode = argv[1];
  auto ms = [&](int i, DWORD fallback) {
    return argc > i ? static_cast<DWORD>(std::strtoul(argv[i], nullptr, 10)) : fallback;
  };
  if (mode == "watch" && argc >= 3) return watch(argv[2], ms(3, 300000));
  if (mode == "toggle") return toggle(argc - 2, argv + 2);
  if (mode == "findbox" && argc >= 4) return findbox(argv[2], ms(3, 0), argc > 4 && std::strcmp(argv[4], "click") == 0);
  if (mode == "tray" && argc >= 3) return tray(ms(2, 0));
  return usage();
}
