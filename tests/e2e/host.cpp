// np_host: runs product code on the real Win32 backend for what the Wine tests
// cannot see of pellumin.exe from outside. Prints key=value lines.
//   np_host settings                       the Settings window, its rate box written as a sample does
//   np_host about                          the About window: where it is, its colours, and when it rests
//   np_host about-cycles <hidden> <shown>  its handles, GDI objects and memory over that many makings and closings
//   np_host late-click                     a check box made after 0xFFFF other controls, clicked
//   np_host source pdh <english counter path> <n> | sysblock <n>
//                                          a disk rate source, sampled n times 100 ms apart;
//                                          sysblock first prints the disks it watches
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "runtime/form.h"
#include "program/program.h"
#include "platform/win32/win32_disk_sources.h"
#include "app/win32_platform.h"
#include "handle_count.h"

namespace {

// The product passes the disk counter, which Wine lacks; Wine's PDH serves
// others, which prove the same calls.
int Source(int argc, char** argv) {
  const std::string kind = argc > 0 ? argv[0] : "";
  if (!((kind == "pdh" && argc == 3) || (kind == "sysblock" && argc == 2))) return 2;
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
      source = np::OpenSysBlockSource(std::move(disks));
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
      : Form(platform, {L"", 100, 100, np::FormKind::kHidden}), program_(program) {
    windows_.StartTimer(Id(), 1, 100);
  }

 private:
  // As a sample does: writes the box only when it shows something else. Says
  // once when it has read its own "0" back: from then on the backend keeps
  // that text, and only the box's own change notice can make it look again.
  void Timer(int) override {
    const np::ControlId box = program_.Settings().Get()->txtDisp;
    if (windows_.Text(box) != L"0") {
      windows_.SetText(box, L"0");
    } else if (!kept_) {
      kept_ = true;
      std::printf("kept=0\n");
    }
  }
  np::Program& program_;
  bool kept_ = false;
};

DWORD Rgb(COLORREF c) { return RGB(GetBValue(c), GetGValue(c), GetRValue(c)); }  // 0x00bbggrr as 0xrrggbb

// What the tests need to find the About window on the screen and judge it.
void PrintAboutWindow(HWND w) {
  RECT client;
  POINT origin{0, 0};
  GetClientRect(w, &client);
  ClientToScreen(w, &origin);
  std::printf("client=%ld,%ld\norigin=%ld,%ld\n", client.right, client.bottom, origin.x, origin.y);
  std::printf("highlight=%06lx\nwindowtext=%06lx\nface=%06lx\n", Rgb(GetSysColor(COLOR_HIGHLIGHT)),
              Rgb(GetSysColor(COLOR_WINDOWTEXT)), Rgb(GetSysColor(COLOR_BTNFACE)));
  // Shared: the handle the window class and DefWindowProc set, as the probe prints it.
  std::printf("arrow=%lx\n", HandleToUlong(LoadCursorA(nullptr, IDC_ARROW)));
}

// Tells the tests when both lines are back at full width and the timer is
// off, so that a screenshot from then on shows the window at rest.
class AnimationWatch final : public np::Form {
 public:
  AnimationWatch(np::Platform& platform, np::frAbout& about)
      : Form(platform, {L"", 100, 100, np::FormKind::kHidden}), about_(about) {
    windows_.StartTimer(Id(), 1, 20);
  }

 private:
  void Timer(int) override {
    if (!about_.Loaded()) return;
    const np::LineEnds one = windows_.Line(about_.Line1), two = windows_.Line(about_.Line2);
    if (one.x1 < 7600.0f || two.x1 < 7600.0f) return;
    std::printf("animation=ended\n");
    windows_.StopTimer(Id(), 1);
  }
  np::frAbout& about_;
};

// Control ids are never reused: after 0xFFFF of them, a new check box must still
// hear its own click, sent as a user's is, by the button itself.
class LateBox final : public np::Form {
 public:
  explicit LateBox(np::Platform& platform) : Form(platform, {L"", 1000, 1000, np::FormKind::kFixedDialog}) {}
  np::ControlId box = 0;
  int clicks = 0;

 private:
  void ControlClick(np::ControlId control) override { clicks += control == box ? 1 : 100; }
};

int LateClick(np::Win32Platform& win32) {
  {
    LateBox lines(win32.platform);  // lines take ids but no window handle: cheap to make
    for (int i = 0; i < 0x10000; ++i) win32.windows.AddLine(lines.Id(), {});
  }
  LateBox form(win32.platform);
  form.box = win32.windows.AddCheckBox(form.Id(), {0, 0, 900, 300}, L"late");
  HWND button = FindWindowExA(reinterpret_cast<HWND>(win32.windows.Handle(form.Id())), nullptr, "BUTTON", nullptr);
  SendMessageA(button, BM_CLICK, 0, 0);
  std::printf("id=%ld\nclicks=%d\n", static_cast<long>(form.box), form.clicks);
  return 0;
}

long HandleCount() { return HandleCountOf(GetCurrentProcessId()); }

// This process's live GDI objects. Wine answers GetGuiResources with 0 but keeps
// its GDI handle table as Windows does: 0x10000 entries of 24 bytes, an
// object's type at byte 14, 0 once freed. Its address is in the 64-bit PEB
// (+0xF8), which the 64-bit TEB names (+0x60). A 32-bit process's own PEB
// leaves it null; Wine's 32-bit gdi32 reaches the 64-bit TEB, as here, by the
// 32-bit TEB's GdiBatchCount (+0xF70), and keeps all three below 4 GB for it:
// read as pointers, the 64-bit fields' low halves are whole.
long GdiObjectCount() {
  const auto* teb = reinterpret_cast<const BYTE*>(NtCurrentTeb());
  if (sizeof(void*) == 4) teb = *reinterpret_cast<const BYTE* const*>(teb + 0xF70);
  const BYTE* peb = teb ? *reinterpret_cast<const BYTE* const*>(teb + 0x60) : nullptr;
  const BYTE* table = peb ? *reinterpret_cast<const BYTE* const*>(peb + 0xF8) : nullptr;
  long live = 0;
  for (int i = 0; table != nullptr && i < 0x10000; ++i) live += table[24 * i + 14] != 0;
  return table != nullptr ? live : -1;
}

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
  const long handles = HandleCount(), gdi = GdiObjectCount();
  const SIZE_T memory = PagefileUsage();
  for (int i = 0; i < hidden + shown; ++i) AboutCycle(win32, program, i >= hidden);
  std::printf("handles_before=%ld\nhandles_after=%ld\ngdi_before=%ld\ngdi_after=%ld\n", handles, HandleCount(), gdi,
              GdiObjectCount());
  std::printf("memory_before=%zu\nmemory_after=%zu\n", static_cast<size_t>(memory),
              static_cast<size_t>(PagefileUsage()));
  return 0;
}

int About(np::Win32Platform& win32) {
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.About().Show(); });
  np::frAbout& about = *program.About().Get();
  PrintAboutWindow(reinterpret_cast<HWND>(win32.windows.Handle(about.Id())));
  AnimationWatch watch(win32.platform, about);
  return win32.windows.RunMessageLoop();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  np::Win32Platform win32(GetModuleHandleA(nullptr));
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "source") return Source(argc - 2, argv + 2);
  if (mode == "about") return About(win32);
  if (mode == "late-click") return LateClick(win32);
  if (mode == "about-cycles" && argc == 4) return AboutCycles(win32, std::atoi(argv[2]), std::atoi(argv[3]));
  if (mode != "settings") return 2;
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.Settings().Show(); });
  Referrer referrer(win32.platform, program);
  return win32.windows.RunMessageLoop();
}
