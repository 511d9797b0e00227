// The cost of one disk sample on this machine's real /proc/diskstats: re-reading
// the kept-open file, parsing it and updating the rate, as the Wine source does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/common/diskstats.h"

namespace {

// The same rule as the Wine source: /sys/block entries that have a device.
std::vector<std::string> WholeDisks() {
  std::vector<std::string> disks;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block")) {
    if (std::filesystem::exists(entry.path() / "device")) disks.push_back(entry.path().filename().string());
  }
  return disks;
}

class KeptOpenFile {
 public:
  explicit KeptOpenFile(const char* path) : fd_(open(path, O_RDONLY)), buffer_(4096) {
    if (fd_ < 0) throw std::runtime_error(std::string("cannot open ") + path);
  }
  KeptOpenFile(const KeptOpenFile&) = delete;
  KeptOpenFile& operator=(const KeptOpenFile&) = delete;
  ~KeptOpenFile() { close(fd_); }

  std::string_view ReadAll() {
    std::size_t used = 0;
    for (;;) {
      if (used == buffer_.size()) buffer_.resize(buffer_.size() * 2);
      const ssize_t got = pread(fd_, buffer_.data() + used, buffer_.size() - used, static_cast<off_t>(used));
      if (got < 0) throw std::runtime_error("read failed");
      if (got == 0) return {buffer_.data(), used};
      used += static_cast<std::size_t>(got);
    }
  }

 private:
  int fd_;
  std::vector<char> buffer_;
};

std::uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

void ReadOnly(benchmark::State& state) {
  KeptOpenFile file("/proc/diskstats");
  for (auto _ : state) benchmark::DoNotOptimize(file.ReadAll().size());
  state.counters["file_bytes"] = static_cast<double>(file.ReadAll().size());
}

void ParseOnly(benchmark::State& state) {
  const std::vector<std::string> disks = WholeDisks();
  KeptOpenFile file("/proc/diskstats");
  const std::string text(file.ReadAll());
  std::vector<np::DiskTransfers> counts(disks.size());
  for (auto _ : state) benchmark::DoNotOptimize(np::ReadDiskTransfers(text, disks, counts));
  state.counters["whole_disks"] = static_cast<double>(disks.size());
}

// One whole sample: read, clock, parse, rate.
void Sample(benchmark::State& state) {
  const std::vector<std::string> disks = WholeDisks();
  KeptOpenFile file("/proc/diskstats");
  std::vector<np::DiskTransfers> counts(disks.size());
  np::DiskRate rate(disks.size(), 1'000'000'000);
  for (auto _ : state) {
    const std::string_view text = file.ReadAll();
    const std::uint64_t now = NowNs();
    np::ReadDiskTransfers(text, disks, counts);
    if (!rate.Add(counts, now)) state.SkipWithError("no whole disk read");
    benchmark::DoNotOptimize(rate.Value());
  }
}

BENCHMARK(ReadOnly);
BENCHMARK(ParseOnly);
BENCHMARK(Sample);

}  // namespace

BENCHMARK_MAIN();
