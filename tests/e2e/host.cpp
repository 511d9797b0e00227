// np_host: runs product code on the real Win32 backend where pellumin.exe does
// not reach it yet, for the Wine tests.
//   np_host settings                       the Settings window, as the tray menu will open it
//   np_host about                          the About window, as the tray menu will open it
//   np_host about-cycles <hidden> <shown>  makes and closes the About window that many times
//   np_host reg read|delete <subkey> <name>  the Registry module on HKLM
//   np_host reg write <subkey> <name> sz <text> | i2 <n> | i4 <n> | r8 <x> | bool | empty
//   np_host source pdh <english counter path> <n> | diskstats <n>
//                                          a disk rate source, sampled n times 100 ms apart;
//                                          diskstats first prints the disks it watches
// Text arguments and values are ASCII with \uXXXX escapes, so that no code
// page other than the product's own touches them. Prints key=value lines.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "runtime/form.h"
#include "program/program.h"
#include "platform/win32/win32_disk_sources.h"
#include "platform/win32/win32_platform.h"
#include "settings/registry.h"
#include "handle_count.h"

namespace {

using np::Variant;

std::wstring Unescape(const std::string& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s.compare(i, 2, "\\u") == 0 && i + 6 <= s.size()) {
      out += static_cast<wchar_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16));
      i += 5;
    } else {
      out += static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
    }
  }
  return out;
}

// NULs made visible, so a string's filler can be counted.
std::string Escape(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    char buf[8];
    std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7F && c != L'\\' ? "%c" : "\\u%04x", static_cast<unsigned>(c));
    out += buf;
  }
  return out;
}

bool ParseData(int argc, char** argv, Variant* data) {
  const std::string kind = argc > 0 ? argv[0] : "";
  const char* arg = argc == 2 ? argv[1] : nullptr;
  if (kind == "bool" && argc == 1)
    *data = Variant(np::vt::kBool, -1);
  else if (kind == "empty" && argc == 1)
    *data = Variant();
  else if (kind == "sz" && arg)
    *data = Variant(np::vt::kBstr, 0, Unescape(arg));
  else if (kind == "i2" && arg)
    *data = Variant(np::vt::kI2, static_cast<std::int16_t>(std::strtol(arg, nullptr, 0)));
  else if (kind == "i4" && arg)
    *data = Variant(np::vt::kI4, static_cast<std::int32_t>(std::strtoll(arg, nullptr, 0)));
  else if (kind == "r8" && arg)
    *data = Variant(np::vt::kR8, 0);
  else
    return false;
  return true;
}

int Registry(np::Platform& platform, int argc, char** argv) {
  if (argc < 3) return 2;
  const np::RegistryContext reg{platform.registry, platform.codec};
  const std::string command = argv[0];
  const std::wstring key = Unescape(argv[1]), name = Unescape(argv[2]);
  std::int32_t status = 0;
  // A read never yields a double, so this one shows the value untouched.
  Variant data(np::vt::kR8, 0);
  if (command == "read" && argc == 3)
    status = np::RegReadValueEntry(reg, np::kHkeyLocalMachine, key, name, data);
  else if (command == "delete" && argc == 3)
    status = np::RegDeleteValueEntry(reg, np::kHkeyLocalMachine, key, name);
  else if (command == "write" && ParseData(argc - 3, argv + 3, &data))
    status = np::RegWriteValueEntry(reg, np::kHkeyLocalMachine, key, name, data);
  else
    return 2;
  std::printf("status=%ld\n", static_cast<long>(status));
  if (command != "read") return 0;
  std::printf("type=%u\n", static_cast<unsigned>(data.Type()));
  if (data.Type() == np::vt::kBstr)
    std::printf("value=%s\n", Escape(data.String()).c_str());
  else
    std::printf("value=%ld\n", static_cast<long>(data.Long()));
  return 0;
}

// The product passes the disk counter, which Wine lacks; Wine's PDH serves
// others, which prove the same calls.
int Source(int argc, char** argv) {
  const std::string kind = argc > 0 ? argv[0] : "";
  if (!((kind == "pdh" && argc == 3) || (kind == "diskstats" && argc == 2))) return 2;
  std::printf("wine=%d\n", np::RunningUnderWine() ? 1 : 0);
  try {
    std::unique_ptr<np::DiskRateSource> source;
    if (kind == "pdh") {
      source = np::OpenPdhSource(argv[1]);
    } else {
      // The program's own wiring under Wine: these disks are the ones watched.
      std::vector<std::string> disks = np::ListWholeDisks();
      std::string names;
      for (const std::string& disk : disks) names += (names.empty() ? "" : ",") + disk;
      std::printf("disks=%s\n", names.c_str());
      source = np::OpenDiskstatsSource(std::move(disks));
    }
    for (int i = std::atoi(argv[argc - 1]); i > 0; --i) {
      source->Collect();
      std::printf("value=%.6g\n", source->Value());
      Sleep(100);  // the pace of the samples, not a wait for anything
    }
  } catch (const std::exception& e) {
    std::printf("error=%s\n", e.what());
  }
  return 0;
}

// Like the sampler will, refers to the Settings window every 100 ms and writes
// into its text box, so a closed window comes back hidden and the probe can
// tell when its load step is over.
class Referrer final : public np::Form {
 public:
  Referrer(np::Platform& platform, np::Program& program)
      : Form(platform.windows, {L"", 100, 100, np::FormKind::kHidden}), program_(program) {
    windows_.StartTimer(Id(), 1, 100);
  }

 private:
  // As a sample does: writes the box only when it shows something else.
  void OnTimer(int) override {
    const np::ControlId box = program_.Settings().Get()->txtDisp;
    if (windows_.Text(box) != L"0") windows_.SetText(box, L"0");
  }
  np::Program& program_;
};

// Another process cannot read a window's icon under Wine, so the host reports it.
void PrintIconSize(HWND window) {
  ICONINFO info{};
  BITMAP bm{};
  HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
  if (icon && GetIconInfo(icon, &info) && GetObjectA(info.hbmColor, sizeof bm, &bm))
    std::printf("icon=%ldx%ld\n", bm.bmWidth, bm.bmHeight);
  else
    std::printf("icon=none\n");
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

std::string Rgb(COLORREF c) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// The texts of the tools of the window's tooltips, in the order they were added.
std::string ToolTexts(HWND w) {
  std::string texts;
  for (HWND tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip;
       tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) {
    if (GetWindow(tip, GW_OWNER) != w) continue;
    const int tools = static_cast<int>(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < tools; ++i) {
      char text[128] = "";
      TOOLINFOA info{};
      info.cbSize = TTTOOLINFOA_V2_SIZE;
      info.lpszText = text;
      if (!SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info))) continue;
      if (!texts.empty()) texts += '|';
      texts += text;
    }
  }
  return texts;
}

// What the tests need to find the About window on the screen and judge it.
void PrintAboutWindow(HWND w) {
  RECT client, window;
  POINT origin{0, 0};
  GetClientRect(w, &client);
  GetWindowRect(w, &window);
  ClientToScreen(w, &origin);
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  std::printf("visible=%d\nscreen=%d,%d\nclient=%ld,%ld\nwindow=%ld,%ld,%ld,%ld\norigin=%ld,%ld\n",
              IsWindowVisible(w) ? 1 : 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), client.right,
              client.bottom, window.left, window.top, window.right - window.left, window.bottom - window.top, origin.x,
              origin.y);
  std::printf("frame=%s%s%s%s\ncaption=%d\nowner=%d\n", style & WS_THICKFRAME ? "size," : "",
              style & WS_MINIMIZEBOX ? "min," : "", style & WS_MAXIMIZEBOX ? "max," : "",
              style & WS_SYSMENU ? "close" : "", (style & WS_CAPTION) == WS_CAPTION ? 1 : 0,
              GetWindow(w, GW_OWNER) != nullptr ? 1 : 0);
  std::printf("highlight=%s\nwindowtext=%s\nface=%s\n", Rgb(GetSysColor(COLOR_HIGHLIGHT)).c_str(),
              Rgb(GetSysColor(COLOR_WINDOWTEXT)).c_str(), Rgb(GetSysColor(COLOR_BTNFACE)).c_str());
  std::printf("tips=%s\n", ToolTexts(w).c_str());
  PrintIconSize(w);
}

// Tells the tests when both lines are back at full width and the timer is
// off, so that a screenshot from then on shows the window at rest.
class AnimationWatch final : public np::Form {
 public:
  AnimationWatch(np::Platform& platform, np::frAbout& about)
      : Form(platform.windows, {L"", 100, 100, np::FormKind::kHidden}), about_(about) {
    windows_.StartTimer(Id(), 1, 20);
  }

 private:
  void OnTimer(int) override {
    if (!about_.Loaded()) return;
    const np::LineEnds one = windows_.Line(about_.Line1), two = windows_.Line(about_.Line2);
    if (one.x1 < 7600.0f || two.x1 < 7600.0f) return;
    std::printf("animation=ended\n");
    windows_.StopTimer(Id(), 1);
  }
  np::frAbout& about_;
};

long HandleCount() { return HandleCountOf(GetCurrentProcessId()); }

SIZE_T PagefileUsage() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Made (shown and painted, if asked), pointed at, and closed as the close box
// closes it: every object the window makes on the way is made once per cycle.
void AboutCycle(np::Win32Platform& win32, np::Program& program, bool shown) {
  np::RunHandler(win32.errors, [&] { shown ? program.About().Show() : static_cast<void>(program.About().Get()); });
  HWND w = reinterpret_cast<HWND>(win32.windows.Handle(program.About().Get()->Id()));
  UpdateWindow(w);
  SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(100, 208));  // over Label3
  PumpPending();
  SendMessageA(w, WM_CLOSE, 0, 0);
  PumpPending();
}

// Without a window manager, Wine waits about a second each time a window is
// mapped or unmapped, so most cycles keep the window hidden: they make and free
// all the window's objects but the few of its painting.
int AboutCycles(np::Win32Platform& win32, int hidden, int shown) {
  np::Program program(win32.platform);
  for (bool show : {false, true}) AboutCycle(win32, program, show);  // caches of GDI and the tooltip class settle
  const long handles = HandleCount();
  const SIZE_T memory = PagefileUsage();
  for (int i = 0; i < hidden + shown; ++i) AboutCycle(win32, program, i >= hidden);
  std::printf("handles_before=%ld\nhandles_after=%ld\nmemory_before=%zu\nmemory_after=%zu\n", handles,
              HandleCount(), static_cast<size_t>(memory), static_cast<size_t>(PagefileUsage()));
  return 0;
}

int About(np::Win32Platform& win32) {
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.About().Show(); });
  np::frAbout& about = *program.About().Get();
  PrintAboutWindow(reinterpret_cast<HWND>(win32.windows.Handle(about.Id())));
  AnimationWatch watch(win32.platform, about);
  return np::Win32Platform::RunMessageLoop();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  np::Win32Platform win32(GetModuleHandleA(nullptr));
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "reg") return Registry(win32.platform, argc - 2, argv + 2);
  if (mode == "source") return Source(argc - 2, argv + 2);
  if (mode == "about") return About(win32);
  if (mode == "about-cycles" && argc == 4) return AboutCycles(win32, std::atoi(argv[2]), std::atoi(argv[3]));
  if (mode != "settings") return 2;
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.Settings().Show(); });
  PrintIconSize(reinterpret_cast<HWND>(win32.windows.Handle(program.Settings().Get()->Id())));
  Referrer referrer(win32.platform, program);
  return np::Win32Platform::RunMessageLoop();
}
