// The cost of one disk sample on this machine: re-reading each whole disk's
// kept-open /sys/block/<name>/stat, parsing it and updating the rate, as the
// Wine source does; beside it, one read of /proc/diskstats, which the kernel
// makes for every block device.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
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

std::vector<std::string> StatPaths() {
  std::vector<std::string> paths;
  for (const std::string& disk : WholeDisks()) paths.push_back("/sys/block/" + disk + "/stat");
  return paths;
}

void DiskstatsRead(benchmark::State& state) {
  KeptOpenFile file("/proc/diskstats");
  for (auto _ : state) benchmark::DoNotOptimize(file.ReadAll().size());
  state.counters["file_bytes"] = static_cast<double>(file.ReadAll().size());
}

// One whole sample: read, clock, parse, rate.
void Sample(benchmark::State& state) {
  std::vector<std::unique_ptr<KeptOpenFile>> files;
  for (const std::string& path : StatPaths()) files.push_back(std::make_unique<KeptOpenFile>(path.c_str()));
  std::vector<np::DiskTransfers> counts(files.size());
  np::DiskRate rate(files.size(), 1'000'000'000);
  for (auto _ : state) {
    for (std::size_t i = 0; i < files.size(); ++i) counts[i] = np::ReadStatTransfers(files[i]->ReadAll());
    if (!rate.Add(counts, NowNs())) state.SkipWithError("no whole disk read");
    benchmark::DoNotOptimize(rate.Value());
  }
  state.counters["whole_disks"] = static_cast<double>(files.size());
}

BENCHMARK(DiskstatsRead);
BENCHMARK(Sample);

}  // namespace

BENCHMARK_MAIN();
