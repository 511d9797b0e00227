// frMain: start-up, tray icon, disk sampling and exit sequence.
#include "core/fr_main.h"

#include <exception>

#include "core/led_patterns.h"
#include "core/rate.h"
#include "resources/product.h"

namespace np {

namespace {
const FormDesign kFrMainDesign{L"", 4500, 3240, FormKind::kHidden};
constexpr std::int16_t kDiskCounterPosition = 1;
}  // namespace

frMain::frMain(Platform& platform, const FrMainWindows& windows)
    : Form(platform, kFrMainDesign), platform_(platform), settings_(windows.settings),
      about_(windows.about),
      pop_(windows.pop) {
  Form_Load();
}

void frMain::Form_Load() {
  if (platform_.app.PrevInstance()) {
    // Nothing runs but the box: its modal loop would deliver ticks, and a
    // sampling copy would flash over the first one and rewrite its Run entry.
    platform_.boxes.Show(kAlreadyRunning, kProductName, kMbOk);
    platform_.app.EndProcess();
    return;
  }
  windows_.StartTimer(Id(), kTimer1, kTimer1IntervalMs);
  SystemMonitor1_ = platform_.monitors.Create(*this);
  StartupLedSweep(platform_.keyboard, platform_.clock);

  TrayIconRecord& data = tray_icon_data_;
  data.hWnd = windows_.Handle(Id());
  data.uID = static_cast<std::uint32_t>(windows_.IconHandle(Id()));
  data.uFlags = kNifMessage | kNifIcon | kNifTip;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = windows_.IconHandle(Id());
  data.szTip = PaddedTip(kNameAndVersion);
  data.cbSize = sizeof(AnsiNotifyIconData);
  CallTrayShell(kNimAdd);
}

void frMain::mnuQuit_Click() {
  CallTrayShell(kNimDelete);
  Unload();
  SystemMonitor1_.reset();
  ShutdownLedSweep(platform_.keyboard, platform_.clock);
  platform_.app.EndProcess();
}

void frMain::Timer(int /*timer_id*/) { RequestDiskSample(); }

void frMain::MouseMove(int x, int /*y*/) {
  if (x == kTrayMenuCode) ShowTrayMenu();
}

void frMain::ShowTrayMenu() {
  static const std::vector<MenuItem> mnuPopUp = {
      {mnuAbout, L"About"}, {mnuSettings, L"Settings"}, {mnuTemp, L"-"}, {mnuQuit, L"Exit"}};
  const frPop* pop = pop_.Get();
  if (pop == nullptr) return;
  // The menu closes on a click elsewhere only if its window is in the foreground.
  windows_.SetForegroundWindow(pop->Id());
  switch (windows_.PopupMenu(pop->Id(), mnuPopUp, mnuAbout)) {
    case mnuAbout:
      mnuAbout_Click();
      break;
    case mnuSettings:
      mnuSettings_Click();
      break;
    case mnuQuit:
      mnuQuit_Click();
      break;
    default:
      break;  // dismissed
  }
}

void frMain::mnuAbout_Click() { about_.Show(); }

void frMain::mnuSettings_Click() { settings_.Show(); }

void frMain::RequestDiskSample() {
  if (SystemMonitor1_) SystemMonitor1_->CollectSample();
}

void frMain::HandleDiskSample() {
  // Referring to txtDisp loads the Settings window, hidden, before any reading.
  // While its load step shows a box, a tick from the box's loop takes no sample.
  const frSettings* settings = settings_.Get();
  if (settings == nullptr) return;
  // The counter is asked anew for the text, for the decision and for the
  // hold, never kept: with a monitor whose value moves between the three, each
  // step follows its own reading.
  const std::wstring text = RateText(Reading(), [this] { return platform_.locale.DecimalSeparator(); });
  // Judged against what the box shows now (the user may have typed into it):
  // an unchanged text costs a server round trip for nothing.
  if (windows_.Text(settings->txtDisp) != text) windows_.SetText(settings->txtDisp, text);
  if (!(Reading() > 0)) return;  // NaN is not above zero

  PulseLockKey(platform_.keyboard, kVkScrollLock);
  // Once the LED is inverted, the flash always ends: a failed reading must
  // not leave Scroll Lock the other way round.
  std::exception_ptr failure;
  try {
    platform_.clock.Sleep(static_cast<std::uint32_t>(HoldMs(Reading())));
  } catch (...) {
    failure = std::current_exception();
  }
  PulseLockKey(platform_.keyboard, kVkScrollLock);
  if (failure) std::rethrow_exception(failure);
}

double frMain::Reading() { return SystemMonitor1_->CounterValue(kDiskCounterPosition); }

void frMain::ShellRestarted() {
  // A new shell knows none of the old one's icons (and at logon the first add
  // may have come before the shell existed): add the same record again.
  if (tray_icon_data_.cbSize != 0) CallTrayShell(kNimAdd);
}

void frMain::CallTrayShell(std::uint32_t message) {
  AnsiNotifyIconData record = ToAnsiRecord(tray_icon_data_, platform_.codec);
  platform_.tray.NotifyIconA(message, &record);
}

}  // namespace np
