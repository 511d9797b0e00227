// frMain: the hidden main window. It owns the tray icon, Timer1 and
// SystemMonitor1, runs the start-up (instance rule, greeting sweep, tray
// icon), the disk sampling and the exit sequence.
#pragma once
#include <memory>

#include "about/fr_about.h"
#include "core/fr_pop.h"
#include "core/tray_icon_data.h"
#include "runtime/platform.h"
#include "runtime/form.h"
#include "settings/fr_settings.h"

namespace np {

inline constexpr wchar_t kAlreadyRunning[] = L"Norvane Pellumin is already running!";
inline constexpr int kTimer1 = 1;
inline constexpr std::uint32_t kTimer1IntervalMs = 30;
// The shell's mouse message that opens the tray menu: the right button released.
inline constexpr int kTrayMenuCode = 517;  // WM_RBUTTONUP

// The items of mnuPopUp, frMain's menu.
enum MenuId { mnuAbout = 1, mnuSettings, mnuTemp, mnuQuit };

// The windows frMain opens or writes into.
struct FrMainWindows {
  FormSingleton<frSettings>& settings;
  FormSingleton<frAbout>& about;
  FormSingleton<frPop>& pop;
};

class frMain final : public Form, private SampleListener {
 public:
  // Creates the window hidden, then runs the load step.
  frMain(Platform& platform, const FrMainWindows& windows);

  // "Exit": icon removed, window unloaded, reverse sweep, process ended.
  void mnuQuit_Click();

 private:
  void Form_Load();
  void Timer(int timer_id) override;
  void ShellRestarted() override;
  void OnSampleCollected() override { HandleDiskSample(); }
  // The tray callback: the shell's mouse message arrives as the x coordinate.
  void MouseMove(int x, int y) override;
  void ShowTrayMenu();
  void mnuAbout_Click();
  void mnuSettings_Click();
  void RequestDiskSample();
  void HandleDiskSample();
  double Reading();
  void CallTrayShell(std::uint32_t message);

  Platform& platform_;
  FormSingleton<frSettings>& settings_;
  FormSingleton<frAbout>& about_;
  FormSingleton<frPop>& pop_;
  std::unique_ptr<SystemMonitor> SystemMonitor1_;
  TrayIconRecord tray_icon_data_;
};

}  // namespace np
