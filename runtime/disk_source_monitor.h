// SystemMonitor1 over a disk rate source that may fail at any time, at start
// or while running (a PDH query that stops collecting, a file read that fails).
#pragma once
#include <cstdint>

#include "platform/api/clock.h"
#include "platform/api/disk_rate_source.h"
#include "platform/api/system_monitor.h"
#include "runtime/error_reporter.h"

namespace np {

// A lost source is reopened at most this often, quietly: a source that stays
// away must not cost anything per tick nor bury the user in messages.
inline constexpr std::uint64_t kReopenIntervalMs = 1000;
// A lost source is told again only after it has worked again this long: a
// counter that comes and goes must not raise a box after every dismissal.
inline constexpr std::uint64_t kRetellAfterMs = 60000;

// The failure that loses a source stops the sample. The user hears of a loss
// the first time and after kRetellAfterMs of work since the last one told; one
// box at a time, so a loss that comes while the reporter's box is open is
// owed, and told at the first tick after that box if the source is still
// missing then. Samples are skipped until a reopened source collects again.
class DiskSourceMonitors final : public SystemMonitors {
 public:
  DiskSourceMonitors(DiskRateSources& sources, Clock& clock, const ErrorReporter& errors)
      : sources_(sources), clock_(clock), errors_(errors) {}
  std::unique_ptr<SystemMonitor> Create(SampleListener& listener) override;

 private:
  DiskRateSources& sources_;
  Clock& clock_;
  const ErrorReporter& errors_;
};

}  // namespace np
