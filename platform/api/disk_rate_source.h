// Where the disk transfer rate comes from, behind SystemMonitor1.
#pragma once
#include <memory>
#include <string>

namespace np {

// One source of the disk transfer rate. Collect() takes a sample; Value() is the
// rate over the time between the two most recent samples, 0 until there are two.
// Both throw RuntimeError with a clear message when the source fails.
class DiskRateSource {
 public:
  virtual ~DiskRateSource() = default;
  virtual void Collect() = 0;
  virtual double Value() = 0;
};

class DiskRateSources {
 public:
  virtual ~DiskRateSources() = default;
  // Throws RuntimeError with the reason when no source can be opened now.
  virtual std::unique_ptr<DiskRateSource> Open() = 0;
};

}  // namespace np
