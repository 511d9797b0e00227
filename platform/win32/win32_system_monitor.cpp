// SystemMonitor1 on Windows, over one of the two disk rate sources.
#include "platform/win32/win32_system_monitor.h"

#include <string>

#include "platform/api/error_sink.h"
#include "platform/win32/win32_disk_sources.h"

namespace np {

namespace {

class Win32SystemMonitor final : public SystemMonitor {
 public:
  explicit Win32SystemMonitor(SampleListener& listener) : listener_(listener) {
    // Wine's PDH has no disk counters; on Windows the diskstats path is never taken.
    source_ = RunningUnderWine() ? OpenDiskstatsSource(&why_) : OpenPdhSource(kDiskTransfersCounter, &why_);
  }

  void CollectSample() override {
    Source().Collect();
    listener_.OnSampleCollected();
  }

  double CounterValue(std::int16_t position) override {
    if (position != 1) throw RuntimeError("there is no counter at position " + std::to_string(position));
    return Source().Value();
  }

 private:
  DiskRateSource& Source() {
    if (!source_) throw RuntimeError("The disk activity counter is not available: " + why_);
    return *source_;
  }

  SampleListener& listener_;
  std::string why_;
  std::unique_ptr<DiskRateSource> source_;
};

}  // namespace

std::unique_ptr<SystemMonitor> Win32SystemMonitors::Create(SampleListener& listener) {
  return std::make_unique<Win32SystemMonitor>(listener);
}

}  // namespace np
