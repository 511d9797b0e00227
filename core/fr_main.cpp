// frMain: start-up, tray icon and exit sequence.
#include "core/fr_main.h"

#include "core/led_patterns.h"

namespace np {

namespace {
const FormDesign kFrMainDesign{L"", 4500, 3240, FormKind::kHidden};
}

frMain::frMain(Platform& platform) : Form(platform.windows, kFrMainDesign), platform_(platform) {
  windows_.StartTimer(Id(), kTimer1, kTimer1IntervalMs);
  Form_Load();
}

void frMain::Form_Load() {
  if (platform_.app.PrevInstance()) {
    platform_.boxes.Show(kAlreadyRunning, kAppTitle, kMbOk);
    platform_.app.EndProcess();
    return;
  }
  StartupLedSweep(platform_.keyboard, platform_.clock);

  TrayIconRecord& data = tray_icon_data_;
  data.hWnd = windows_.Handle(Id());
  data.uID = static_cast<std::uint32_t>(windows_.IconHandle(Id()));
  data.uFlags = kNifMessage | kNifIcon | kNifTip;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = windows_.IconHandle(Id());
  data.szTip = PaddedTip(kTrayTip);
  data.cbSize = sizeof(AnsiNotifyIconData);
  CallTrayShell(kNimAdd);
}

void frMain::mnuQuit_Click() {
  CallTrayShell(kNimDelete);
  Unload();
  ShutdownLedSweep(platform_.keyboard, platform_.clock);
  platform_.app.EndProcess();
}

void frMain::OnTimer(int /*timer_id*/) {
  // Sampling hooks in here.
}

void frMain::OnShellRestarted() {
  // A new shell knows none of the old one's icons (and at logon the first add
  // may have come before the shell existed): add the same record again.
  if (tray_icon_data_.cbSize != 0) CallTrayShell(kNimAdd);
}

void frMain::CallTrayShell(std::uint32_t message) {
  AnsiNotifyIconData record = ToAnsiRecord(tray_icon_data_, platform_.codec);
  platform_.tray.NotifyIconA(message, &record);
}

}  // namespace np
