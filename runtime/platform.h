// What the program's windows are given: each operating-system service, one
// reference each, and the run-time's error reporter.
#pragma once
#include "platform/api/application.h"
#include "platform/api/clock.h"
#include "platform/api/keyboard.h"
#include "platform/api/message_box.h"
#include "platform/api/registry_api.h"
#include "platform/api/shell.h"
#include "platform/api/system_monitor.h"
#include "platform/api/text_codec.h"
#include "platform/api/tray_shell.h"
#include "platform/api/user_locale.h"
#include "platform/api/window_system.h"
#include "runtime/error_reporter.h"

namespace np {

struct Platform {
  Application& app;
  Clock& clock;
  Keyboard& keyboard;
  TrayShell& tray;
  Shell& shell;
  MessageBoxes& boxes;
  WindowSystem& windows;
  TextCodec& codec;
  RegistryApi& registry;
  SystemMonitors& monitors;
  UserLocale& locale;
  ErrorReporter& errors;
};

}  // namespace np
