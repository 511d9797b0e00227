// The stat line reader and the disk rate against cut and garbled text. The
// input is one or more samples separated by form feeds, each the stat texts
// of three disks separated by vertical tabs, a sample taken a few
// milliseconds after the one before.
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/common/diskstats.h"
#include "tests/fuzz/check.h"

namespace {

constexpr std::size_t kDisks = 3;
using Counts = std::vector<np::DiskTransfers>;

Counts Read(std::string_view sample) {
  Counts out(kDisks);
  for (auto& count : out) {
    const std::size_t end = sample.find('\v');
    const std::string_view text = sample.substr(0, end);
    count = np::ReadStatTransfers(text);
    // Only the first line counts: whatever follows it cannot change the count.
    const std::size_t line = text.find('\n');
    if (line != std::string_view::npos) FUZZ_CHECK(np::ReadStatTransfers(text.substr(0, line + 1)) == count);
    else FUZZ_CHECK(!count);
    sample.remove_prefix(end == std::string_view::npos ? sample.size() : end + 1);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  np::DiskRate rate(kDisks, 1000);
  std::uint64_t ms = 0;
  while (true) {
    const std::size_t end = input.find('\f');
    const std::string_view sample = input.substr(0, end);
    const Counts counts = Read(sample);
    const bool any = counts[0] || counts[1] || counts[2];
    ms += sample.size() % 4;  // now and then a sample whose time does not move
    FUZZ_CHECK(rate.Add(counts, ms) == any);
    FUZZ_CHECK(rate.Value() >= 0 && std::isfinite(rate.Value()));
    if (end == std::string_view::npos) break;
    input.remove_prefix(end + 1);
  }
  return 0;
}
