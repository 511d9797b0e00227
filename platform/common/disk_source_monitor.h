// SystemMonitor1 over a disk rate source that may fail at any time, at start
// or while running (a PDH query that stops collecting, a file read that fails).
#pragma once
#include <cstdint>

#include "platform/api/clock.h"
#include "platform/api/disk_rate_source.h"
#include "platform/api/system_monitor.h"

namespace np {

// A lost source is reopened at most this often, quietly: a source that stays
// away must not cost anything per tick nor bury the user in messages.
inline constexpr std::uint64_t kReopenIntervalMs = 1000;

// The failure that loses a source is thrown once; samples are skipped until a
// reopened source collects again, and a later failure is news again.
class DiskSourceMonitors final : public SystemMonitors {
 public:
  DiskSourceMonitors(DiskRateSources& sources, Clock& clock) : sources_(sources), clock_(clock) {}
  std::unique_ptr<SystemMonitor> Create(SampleListener& listener) override;

 private:
  DiskRateSources& sources_;
  Clock& clock_;
};

}  // namespace np
