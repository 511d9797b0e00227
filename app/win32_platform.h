// The Win32 backend assembled with the run-time layer: every service in one
// object, wired as the program expects them.
#pragma once
#include <windows.h>

#include "platform/win32/win32_disk_sources.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text_codec.h"
#include "platform/win32/win32_window_system.h"
#include "runtime/disk_source_monitor.h"
#include "runtime/error_reporter.h"
#include "runtime/platform.h"

namespace np {

class Win32Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Win32ComApartment com;  // first: before anything can reach the shell
  Win32Application app;
  Win32Clock clock;
  Win32Keyboard keyboard;
  Win32TrayShell tray;
  Win32Shell shell;
  Win32MessageBoxes boxes;
  Win32TextCodec codec;
  Win32Registry registry;
  ErrorReporter errors;
  Win32DiskRateSources disk_sources;
  DiskSourceMonitors monitors{disk_sources, clock, errors};
  Win32UserLocale locale;
  Win32WindowSystem windows;
  Platform platform{app, clock, keyboard, tray, shell, boxes, windows, codec, registry, monitors, locale, errors};
};

}  // namespace np
