// Where the disk transfer rate comes from: Windows' PDH, or under Wine the host's /proc/diskstats.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/api/disk_rate_source.h"
#include "platform/api/system_monitor.h"

namespace np {

// True when ntdll is Wine's: only then does the host's /proc/diskstats exist.
bool RunningUnderWine();

// The disk rate is kDiskTransfersCounter; the path is a parameter so that
// tests can use a counter Wine serves. The English name works on every
// Windows language. nullptr when the source cannot be opened; *why gets the reason.
std::unique_ptr<DiskRateSource> OpenPdhSource(const char* english_counter_path, std::string* why);

// The host's whole disks by their /sys/block names, which the diskstats source
// watches; empty when there are none, and *why says why.
std::vector<std::string> ListWholeDisks(std::string* why);

// Reads plus writes per second on the host's whole disks, through Z:\proc\diskstats.
std::unique_ptr<DiskRateSource> OpenDiskstatsSource(std::string* why);

// The program's source: kDiskTransfersCounter from PDH, or under Wine, whose
// PDH has no disk counters, the host's diskstats.
class Win32DiskRateSources final : public DiskRateSources {
 public:
  std::unique_ptr<DiskRateSource> Open(std::string* why) override;
};

}  // namespace np
