// The two disk rate sources: PDH on Windows, the host's /sys/block under Wine.
#include "platform/win32/win32_disk_sources.h"

#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>
#include <winternl.h>

#include <optional>
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
    // for that interval: 0, as the /sys/block source does.
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

constexpr char kSysBlock[] = "Z:\\sys\\block";
// A stat line is some 17 numbers; sysfs hands over an attribute whole, in one
// read, and never more than a page.
constexpr ULONG kStatBytes = 4096;

// NtReadFile at an offset: one pread where a seek and ReadFile take a seek and
// two reads, the second to meet the end. (ReadFile with an OVERLAPPED would
// post a completion, a server request, at each read.) Wine's ntdll has it;
// this source runs only there.
using NtReadFileFn = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, IO_STATUS_BLOCK*, void*, ULONG, LARGE_INTEGER*,
                                   ULONG*);

NtReadFileFn NtReadFileEntry() {
  const auto entry = reinterpret_cast<NtReadFileFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtReadFile")));
  if (entry == nullptr) throw RuntimeError("ntdll.dll has no NtReadFile");
  return entry;
}

std::string StatPath(const std::string& disk) { return std::string(kSysBlock) + "\\" + disk + "\\stat"; }

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

// Each disk's own stat file, not /proc/diskstats: the kernel then counts the
// watched disks alone, where diskstats makes it count every loop and zram
// device at each sample too.
class SysBlockSource final : public DiskRateSource {
 public:
  SysBlockSource(NtReadFileFn read, std::vector<HANDLE> files, std::vector<std::string> disks,
                 std::uint64_t ticks_per_second)
      : read_(read),
        files_(std::move(files)),
        disks_(std::move(disks)),
        counts_(disks_.size()),
        rate_(disks_.size(), ticks_per_second) {}
  SysBlockSource(const SysBlockSource&) = delete;
  SysBlockSource& operator=(const SysBlockSource&) = delete;
  ~SysBlockSource() override {
    for (HANDLE file : files_) CloseHandle(file);
  }

  void Collect() override {
    ReadAll();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (!rate_.Add(counts_, static_cast<std::uint64_t>(now.QuadPart))) throw RuntimeError(NoDiskMessage());
  }

  double Value() override { return rate_.Value(); }

  // A trial read at opening, so that disks without readable counters fail there, once.
  void Check() {
    if (ReadAll() == 0) throw RuntimeError(NoDiskMessage());
  }

 private:
  // A disk whose file fails to read (gone with its device) counts as unread;
  // the rate follows the others.
  std::size_t ReadAll() {
    std::size_t read = 0;
    for (std::size_t i = 0; i < files_.size(); ++i) {
      const std::optional<std::size_t> got = ReadFromStart(files_[i]);
      counts_[i] = got ? ReadStatTransfers({buffer_, *got}) : std::nullopt;
      read += counts_[i].has_value();
    }
    return read;
  }

  // The handle is overlapped: a read at an offset then leaves no file pointer
  // to move, which is a seek after each pread. Wine says such a read is
  // pending though it filled the block already; the wait is for when it has not.
  std::optional<std::size_t> ReadFromStart(HANDLE file) {
    IO_STATUS_BLOCK status{};
    status.Status = static_cast<LONG>(STATUS_PENDING);
    LARGE_INTEGER start{};
    LONG result = read_(file, nullptr, nullptr, nullptr, &status, buffer_, kStatBytes, &start, nullptr);
    if (result == static_cast<LONG>(STATUS_PENDING)) {
      if (status.Status == static_cast<LONG>(STATUS_PENDING)) WaitForSingleObject(file, INFINITE);
      result = status.Status;
    }
    if (result < 0) return std::nullopt;
    return status.Information;
  }

  std::string NoDiskMessage() const {
    return std::string(kSysBlock) + " holds no readable stat line for any of the disks " + JoinNames(disks_);
  }

  NtReadFileFn read_;
  std::vector<HANDLE> files_;
  std::vector<std::string> disks_;
  std::vector<DiskTransfers> counts_;
  DiskRate rate_;
  char buffer_[kStatBytes] = {};
};

}  // namespace

std::unique_ptr<DiskRateSource> OpenSysBlockSource(std::vector<std::string> disks) {
  NtReadFileFn read = NtReadFileEntry();
  std::vector<HANDLE> files;
  for (const std::string& disk : disks) {
    const std::string path = StatPath(disk);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      for (HANDLE opened : files) CloseHandle(opened);
      throw RuntimeError("Cannot open " + path + ": " + WindowsErrorText(error));
    }
    files.push_back(file);
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  auto source = std::make_unique<SysBlockSource>(read, std::move(files), std::move(disks),
                                                 static_cast<std::uint64_t>(frequency.QuadPart));
  source->Check();
  return source;
}

std::unique_ptr<DiskRateSource> Win32DiskRateSources::Open() {
  try {
    return RunningUnderWine() ? OpenSysBlockSource(ListWholeDisks()) : OpenPdhSource(kDiskTransfersCounter);
  } catch (const RuntimeError& e) {
    throw RuntimeError(std::string("The disk activity counter is not available: ") + e.what());
  }
}

}  // namespace np
