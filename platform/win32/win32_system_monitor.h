// SystemMonitor1 on Windows: the disk rate from PDH, or under Wine from the host's /proc/diskstats.
#pragma once
#include "platform/api/system_monitor.h"

namespace np {

class Win32SystemMonitors final : public SystemMonitors {
 public:
  // Opens the data source once; nothing is opened or looked up per sample.
  std::unique_ptr<SystemMonitor> Create(SampleListener& listener) override;
};

}  // namespace np
