// The performance monitor the sampler reads: it collects a sample on request,
// notifies once per collected sample, and lists its counters by position.
#pragma once
#include <cstdint>
#include <memory>

namespace np {

inline constexpr char kDiskTransfersCounter[] = "\\PhysicalDisk(_Total)\\Disk Transfers/sec";

class SampleListener {
 public:
  virtual ~SampleListener() = default;
  // Once for every collected sample, on the user-interface thread.
  virtual void OnSampleCollected() = 0;
};

// One monitor with the single counter kDiskTransfersCounter at position 1.
class SystemMonitor {
 public:
  virtual ~SystemMonitor() = default;
  // Collects one sample, then notifies the listener before returning. Throws
  // RuntimeError when the sample fails. A monitor whose source is missing may
  // return with neither, as its owner's rules for a lost source decide.
  virtual void CollectSample() = 0;
  // The value at the latest sample of the counter at `position` (from 1),
  // looked up anew at every call: transfers per second, 0 until the monitor
  // has two samples to compare. Throws RuntimeError.
  virtual double CounterValue(std::int16_t position) = 0;
};

class SystemMonitors {
 public:
  virtual ~SystemMonitors() = default;
  // Never fails: a monitor whose data source cannot be opened yet starts
  // without one, and its collects try again.
  virtual std::unique_ptr<SystemMonitor> Create(SampleListener& listener) = 0;
};

}  // namespace np
