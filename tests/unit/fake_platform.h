// The fake backend assembled with the run-time layer, as the unit tests drive it.
#pragma once
#include "platform/fake/call_log.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/fake_devices.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_text_codec.h"
#include "platform/fake/fake_window_system.h"
#include "resources/product.h"
#include "runtime/disk_source_monitor.h"
#include "runtime/error_reporter.h"
#include "runtime/platform.h"

namespace np {

class FakePlatform {
 public:
  FakePlatform() {
    clock.SetCallLog(&log);
    registry.SetCallLog(&log);
  }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // The message loop for ms milliseconds; it stops when the process has ended.
  void RunFor(std::uint64_t ms) {
    windows.RunUntil(clock.NowMs() + ms, [this] { return app.Ended(); });
  }

  FakeClock clock;
  CallLog log{clock};
  FakeApplication app{log};
  FakeKeyboard keyboard{log};
  FakeTrayShell tray{log};
  FakeMessageBoxes boxes{log};
  FakeShell shell{log};
  FakeTextCodec codec;
  ErrorReporter errors{boxes, codec, kProductName};
  FakeWindowSystem windows{clock, log};
  FakeRegistry registry;
  FakeDiskRateSources disks{log};
  DiskSourceMonitors monitors{disks, clock, errors};
  FakeUserLocale locale;
  Platform platform{app, clock, keyboard, tray, shell, boxes, windows, codec, registry, monitors, locale, errors};
};

}  // namespace np
