// frMain: the hidden main window. It owns the tray icon and Timer1, runs the
// start-up (instance rule, greeting sweep, tray icon) and the exit sequence.
#pragma once
#include "core/form.h"
#include "core/tray_icon_data.h"
#include "platform/api/platform.h"

namespace np {

inline constexpr wchar_t kAlreadyRunning[] = L"Norvane Pellumin is already running!";
inline constexpr int kTimer1 = 1;
inline constexpr std::uint32_t kTimer1IntervalMs = 30;

class frMain final : public Form {
 public:
  // Creates the window hidden with Timer1 running, then runs the load step.
  explicit frMain(Platform& platform);

  // "Exit": icon removed, window unloaded, reverse sweep, process ended.
  void mnuQuit_Click();

  const TrayIconRecord& TrayIconData() const { return tray_icon_data_; }

 private:
  void Form_Load();
  void OnTimer(int timer_id) override;
  void OnShellRestarted() override;
  void CallTrayShell(std::uint32_t message);

  Platform& platform_;
  TrayIconRecord tray_icon_data_;
};

}  // namespace np
