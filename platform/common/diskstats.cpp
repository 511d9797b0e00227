// Disk transfers per second from Linux's block statistics.
#include "platform/common/diskstats.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace np {

namespace {

// Field numbers of a stat line as the kernel's iostats documentation counts
// them: 1 reads completed, ..., 5 writes completed.
constexpr int kReadsField = 1;
constexpr int kWritesField = 5;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Cuts the next blank-separated word off the front of `rest`; empty at the end.
std::string_view NextWord(std::string_view& rest) {
  std::size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) ++start;
  std::size_t end = start;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view word = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return word;
}

// Plain decimal only; signs, fractions and values past 64 bits are garbage.
std::optional<std::uint64_t> ParseCount(std::string_view word) {
  std::uint64_t value = 0;
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  if (word.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

DiskTransfers ParseTransfers(std::string_view rest) {
  std::uint64_t reads = 0, writes = 0;
  for (int field = kReadsField; field <= kWritesField; ++field) {
    const auto count = ParseCount(NextWord(rest));
    if (!count) return std::nullopt;
    if (field == kReadsField) reads = *count;
    if (field == kWritesField) writes = *count;
  }
  if (writes > std::numeric_limits<std::uint64_t>::max() - reads) return std::nullopt;
  return reads + writes;
}

}  // namespace

DiskTransfers ReadStatTransfers(std::string_view text) {
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  return ParseTransfers(text.substr(0, end));
}

DiskRate::DiskRate(std::size_t disk_count, std::uint64_t ticks_per_second)
    : last_(disk_count), ticks_per_second_(ticks_per_second) {}

bool DiskRate::Add(std::span<const DiskTransfers> counts, std::uint64_t ticks) {
  if (counts.size() > last_.size()) counts = counts.first(last_.size());
  if (std::none_of(counts.begin(), counts.end(), [](const auto& c) { return c.has_value(); })) return false;
  if (last_ticks_ && ticks <= *last_ticks_) return true;

  double transfers = 0;  // a double: the sum of many 64-bit growths cannot overflow it
  for (std::size_t i = 0; i < last_.size(); ++i) {
    const DiskTransfers now = i < counts.size() ? counts[i] : std::nullopt;
    if (last_[i] && now && *now >= *last_[i]) transfers += static_cast<double>(*now - *last_[i]);
    last_[i] = now;
  }
  if (last_ticks_) {
    const double seconds = static_cast<double>(ticks - *last_ticks_) / static_cast<double>(ticks_per_second_);
    value_ = transfers / seconds;
  }
  last_ticks_ = ticks;
  return true;
}

}  // namespace np
