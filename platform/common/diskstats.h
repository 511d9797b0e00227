// Disk transfers per second from Linux's block statistics, one disk's
// /sys/block/<name>/stat at a time: the parser and the rate. Portable, so the
// rules can be tested natively; the Wine source feeds it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace np {

// Reads plus writes completed so far on one disk; empty when its line is
// missing, cut short or unreadable.
using DiskTransfers = std::optional<std::uint64_t>;

// Reads plus writes completed from the text of one disk's stat file: a single
// line of counters in the kernel's iostats order, ended by a newline (a line
// without one was cut short). Never reads outside the text.
DiskTransfers ReadStatTransfers(std::string_view text);

// Turns successive per-disk counts into transfers per second. Each disk adds
// the growth of its own counter, and only when it was read in both samples: a
// disk that appears adds nothing that sample, and a counter that went back (a
// 32-bit wrap, a re-created device) adds nothing and counts on from its new value.
class DiskRate {
 public:
  // ticks_per_second: the unit of the times given to Add.
  DiskRate(std::size_t disk_count, std::uint64_t ticks_per_second);

  // Takes one sample made at `ticks`. False, and nothing changes, when no disk
  // was read. A sample whose time does not move forward is not taken either.
  bool Add(std::span<const DiskTransfers> counts, std::uint64_t ticks);

  // Transfers per second between the two most recent samples; 0 until there are two.
  double Value() const { return value_; }

 private:
  std::vector<DiskTransfers> last_;
  std::uint64_t ticks_per_second_;
  std::optional<std::uint64_t> last_ticks_;
  double value_ = 0;
};

}  // namespace np
