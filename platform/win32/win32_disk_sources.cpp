// The two disk rate sources: PDH on Windows, the host's /proc/diskstats under Wine.
#include "platform/win32/win32_disk_sources.h"

#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/api/error_sink.h"
#include "platform/common/diskstats.h"

namespace np {

namespace {

std::string PdhStatusText(PDH_STATUS status) {
  const auto code = static_cast<DWORD>(status);
  constexpr std::string_view kHexDigits = "0123456789ABCDEF";
  std::string hex = "0x";  // by hand: snprintf would bring printf's code into the executable
  for (int shift = 28; shift >= 0; shift -= 4) hex += kHexDigits[(code >> shift) & 0xF];
  const char* meaning = code == PDH_CSTATUS_NO_OBJECT         ? " (no such object)"
                        : code == PDH_CSTATUS_NO_COUNTER      ? " (no such counter)"
                        : code == PDH_CSTATUS_NO_INSTANCE     ? " (no such instance)"
                        : code == PDH_CSTATUS_BAD_COUNTERNAME ? " (malformed counter path)"
                        : code == PDH_INVALID_DATA            ? " (no valid data)"
                        : code == PDH_NO_DATA                 ? " (no data)"
                                                              : "";
  return std::string("PDH status ") + hex + meaning;
}

std::string WindowsErrorText(DWORD error) {
  char text[256] = "";
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                 sizeof text, nullptr);
  std::string_view message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.remove_suffix(1);
  }
  return "error " + std::to_string(error) + (message.empty() ? "" : " (" + std::string(message) + ")");
}

class PdhSource final : public DiskRateSource {
 public:
  PdhSource(PDH_HQUERY query, PDH_HCOUNTER counter, std::string path)
      : query_(query), counter_(counter), path_(std::move(path)) {}
  PdhSource(const PdhSource&) = delete;
  PdhSource& operator=(const PdhSource&) = delete;
  ~PdhSource() override { PdhCloseQuery(query_); }  // closes the counter too

  void Collect() override {
    const PDH_STATUS status = PdhCollectQueryData(query_);
    if (status != ERROR_SUCCESS) throw RuntimeError("Cannot collect " + path_ + ": " + PdhStatusText(status));
    if (collections_ < 2) ++collections_;
  }

  double Value() override {
    // A rate needs two collections; before that PDH only answers "invalid data".
    if (collections_ < 2) return 0;
    PDH_FMT_COUNTERVALUE value{};
    const auto status = static_cast<DWORD>(PdhGetFormattedCounterValue(counter_, PDH_FMT_DOUBLE, nullptr, &value));
    // A raw counter that went back (wrapped, or its disk came back) has no rate
    // for that interval: 0, as the diskstats source does.
    if (status == PDH_CALC_NEGATIVE_DENOMINATOR || status == PDH_CALC_NEGATIVE_TIMEBASE ||
        status == PDH_CALC_NEGATIVE_VALUE) {
      return 0;
    }
    if (status != ERROR_SUCCESS) throw RuntimeError("Cannot read " + path_ + ": " + PdhStatusText(static_cast<PDH_STATUS>(status)));
    return value.doubleValue;
  }

 private:
  PDH_HQUERY query_;
  PDH_HCOUNTER counter_;
  std::string path_;
  int collections_ = 0;
};

}  // namespace

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::unique_ptr<DiskRateSource> OpenPdhSource(const std::string& english_counter_path) {
  PDH_HQUERY query = nullptr;
  PDH_STATUS status = PdhOpenQueryA(nullptr, 0, &query);
  if (status != ERROR_SUCCESS) throw RuntimeError("Cannot open a PDH query: " + PdhStatusText(status));
  PDH_HCOUNTER counter = nullptr;
  status = PdhAddEnglishCounterA(query, english_counter_path.c_str(), 0, &counter);
  if (status != ERROR_SUCCESS) {
    PdhCloseQuery(query);
    throw RuntimeError("Cannot add the PDH counter " + english_counter_path + ": " + PdhStatusText(status));
  }
  return std::make_unique<PdhSource>(query, counter, english_counter_path);
}

namespace {

constexpr char kDiskstatsPath[] = "Z:\\proc\\diskstats";
constexpr char kSysBlock[] = "Z:\\sys\\block";
// Far beyond any real diskstats (about 150 bytes a device); stops a runaway read.
constexpr std::size_t kMaxDiskstatsBytes = 16u << 20;

}  // namespace

// Whole physical disks are the block devices with hardware behind them: sysfs
// gives those a `device` entry. Partitions are not in /sys/block at all; loop,
// ram, zram, device-mapper and md devices are, but without `device`.
std::vector<std::string> ListWholeDisks() {
  std::vector<std::string> disks;
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((std::string(kSysBlock) + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw RuntimeError(std::string("Cannot list ") + kSysBlock + ": " + WindowsErrorText(error));
  }
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string device = std::string(kSysBlock) + "\\" + name + "\\device";
    if (GetFileAttributesA(device.c_str()) != INVALID_FILE_ATTRIBUTES) disks.push_back(name);
  } while (FindNextFileA(find, &entry));
  FindClose(find);
  if (disks.empty()) throw RuntimeError(std::string("No entry of ") + kSysBlock + " has a device: no whole disk to watch");
  return disks;
}

namespace {

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const auto& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

class DiskstatsSource final : public DiskRateSource {
 public:
  DiskstatsSource(HANDLE file, std::vector<std::string> disks, std::uint64_t ticks_per_second)
      : file_(file), disks_(std::move(disks)), counts_(disks_.size()), rate_(disks_.size(), ticks_per_second) {}
  DiskstatsSource(const DiskstatsSource&) = delete;
  DiskstatsSource& operator=(const DiskstatsSource&) = delete;
  ~DiskstatsSource() override { CloseHandle(file_); }

  void Collect() override {
    const std::string_view text = ReadAll();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    ReadDiskTransfers(text, disks_, counts_);
    if (!rate_.Add(counts_, static_cast<std::uint64_t>(now.QuadPart))) throw RuntimeError(NoDiskMessage());
  }

  double Value() override { return rate_.Value(); }

  // A trial read at opening, so that a file without our disks fails there, once.
  void Check() {
    if (ReadDiskTransfers(ReadAll(), disks_, counts_) == 0) throw RuntimeError(NoDiskMessage());
  }

 private:
  // The file stays open; each sample reads it again from the start. One
  // read() of the kernel's generated text stops at a page, but Wine's ReadFile
  // repeats read() until the buffer is full or the file ends: a ReadFile that
  // leaves the buffer short has met the end, and no second one must say so.
  std::string_view ReadAll() {
    if (!SetFilePointerEx(file_, LARGE_INTEGER{}, nullptr, FILE_BEGIN)) throw RuntimeError(ReadError(GetLastError()));
    std::size_t used = 0;
    for (;;) {
      if (used == buffer_.size()) {
        if (used >= kMaxDiskstatsBytes) throw RuntimeError(std::string(kDiskstatsPath) + " does not end");
        buffer_.resize(std::max<std::size_t>(4096, buffer_.size() * 2));  // only while the file outgrows it
      }
      DWORD got = 0;
      const auto want = static_cast<DWORD>(buffer_.size() - used);
      if (!ReadFile(file_, buffer_.data() + used, want, &got, nullptr)) throw RuntimeError(ReadError(GetLastError()));
      used += got;
      if (got < want) return {buffer_.data(), used};
    }
  }

  static std::string ReadError(DWORD error) {
    return std::string("Cannot read ") + kDiskstatsPath + ": " + WindowsErrorText(error);
  }

  std::string NoDiskMessage() const {
    return std::string(kDiskstatsPath) + " holds no readable line for any of the disks " + JoinNames(disks_);
  }

  HANDLE file_;
  std::vector<std::string> disks_;
  std::vector<DiskTransfers> counts_;
  DiskRate rate_;
  std::vector<char> buffer_;
};

}  // namespace

std::unique_ptr<DiskRateSource> OpenDiskstatsSource(std::vector<std::string> disks) {
  HANDLE file = CreateFileA(kDiskstatsPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw RuntimeError(std::string("Cannot open ") + kDiskstatsPath + ": " + WindowsErrorText(error));
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  auto source =
      std::make_unique<DiskstatsSource>(file, std::move(disks), static_cast<std::uint64_t>(frequency.QuadPart));
  source->Check();
  return source;
}

std::unique_ptr<DiskRateSource> Win32DiskRateSources::Open() {
  try {
    return RunningUnderWine() ? OpenDiskstatsSource(ListWholeDisks()) : OpenPdhSource(kDiskTransfersCounter);
  } catch (const RuntimeError& e) {
    throw RuntimeError(std::string("The disk activity counter is not available: ") + e.what());
  }
}

}  // namespace np
