// Where the disk transfer rate comes from: Windows' PDH, or under Wine the host's /proc/diskstats.
#pragma once
#include <memory>
#include <string>

#include "platform/api/system_monitor.h"

namespace np {

// True when ntdll is Wine's: only then does the host's /proc/diskstats exist.
bool RunningUnderWine();

// One source of the disk transfer rate. Collect() takes a sample; Value() is the
// rate over the time between the two most recent samples, 0 until there are two.
// Both throw RuntimeError with a clear message when the source fails.
class DiskRateSource {
 public:
  virtual ~DiskRateSource() = default;
  virtual void Collect() = 0;
  virtual double Value() = 0;
};

// The disk rate is kDiskTransfersCounter; the path is a parameter so that
// tests can use a counter Wine serves. The English name works on every
// Windows language. nullptr when the source cannot be opened; *why gets the reason.
std::unique_ptr<DiskRateSource> OpenPdhSource(const char* english_counter_path, std::string* why);

// Reads plus writes per second on the host's whole disks, through Z:\proc\diskstats.
std::unique_ptr<DiskRateSource> OpenDiskstatsSource(std::string* why);

}  // namespace np
