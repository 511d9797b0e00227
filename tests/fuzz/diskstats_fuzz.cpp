// The /proc/diskstats reader and the disk rate against cut and garbled text.
// The input is one or more diskstats texts separated by form feeds, each a
// sample taken a few milliseconds after the one before.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/common/diskstats.h"
#include "tests/fuzz/check.h"

namespace {

const std::vector<std::string> kDisks = {"vda", "sda", "nvme0n1"};
using Counts = std::vector<np::DiskTransfers>;

Counts Read(std::string_view text) {
  Counts out(kDisks.size());
  const std::size_t read = np::ReadDiskTransfers(text, kDisks, out);
  std::size_t present = 0;
  for (const auto& count : out) present += count.has_value();
  FUZZ_CHECK(read == present);
  return out;
}

// The first good line of a disk wins, so whatever follows whole lines cannot
// change a count they already gave.
void CheckAppendingKeepsCounts(std::string_view text) {
  const std::size_t cut = text.find('\n', text.size() / 2);
  if (cut == std::string_view::npos) return;
  const Counts head = Read(text.substr(0, cut + 1));
  const Counts whole = Read(text);
  for (std::size_t i = 0; i < head.size(); ++i) {
    if (head[i]) FUZZ_CHECK(whole[i] == head[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  np::DiskRate rate(kDisks.size(), 1000);
  std::uint64_t ms = 0;
  while (true) {
    const std::size_t end = input.find('\f');
    const std::string_view text = input.substr(0, end);
    CheckAppendingKeepsCounts(text);
    const Counts counts = Read(text);
    const bool any = counts[0] || counts[1] || counts[2];
    ms += text.size() % 4;  // now and then a sample whose time does not move
    FUZZ_CHECK(rate.Add(counts, ms) == any);
    FUZZ_CHECK(rate.Value() >= 0 && std::isfinite(rate.Value()));
    if (end == std::string_view::npos) break;
    input.remove_prefix(end + 1);
  }
  return 0;
}
