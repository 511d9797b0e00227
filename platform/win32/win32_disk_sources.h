// Where the disk transfer rate comes from: Windows' PDH, or under Wine the host's /sys/block.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/api/disk_rate_source.h"
#include "platform/api/system_monitor.h"

namespace np {

// True when ntdll is Wine's: only then does the host's /sys/block exist.
bool RunningUnderWine();

// The disk rate is kDiskTransfersCounter; the path is a parameter so that
// tests can use a counter Wine serves. The English name works on every
// Windows language. Throws RuntimeError with the reason.
std::unique_ptr<DiskRateSource> OpenPdhSource(const std::string& english_counter_path);

// The host's whole disks by their /sys/block names. Throws RuntimeError when
// there are none.
std::vector<std::string> ListWholeDisks();

// Reads plus writes per second on the given disks, through each one's
// Z:\sys\block\<name>\stat. Throws RuntimeError with the reason.
std::unique_ptr<DiskRateSource> OpenSysBlockSource(std::vector<std::string> disks);

// The program's source: kDiskTransfersCounter from PDH, or under Wine, whose
// PDH has no disk counters, the host's block statistics.
class Win32DiskRateSources final : public DiskRateSources {
 public:
  std::unique_ptr<DiskRateSource> Open() override;
};

}  // namespace np
