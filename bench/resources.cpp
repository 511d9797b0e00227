// np_resources: the handle count and memory of a running program, by its image
// name, as a leak would show them under Wine: the handles from the system's
// handle table, the memory as PagefileUsage, which Wine fills with the
// resident private pages (PrivateUsage stays 0). Prints key=value lines.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "tests/e2e/handle_count.h"

namespace {

// The Windows id of the first process running `image` (a file name), or 0.
// By name: the soak run knows only the Linux process id, which is not Wine's.
DWORD PidOf(const char* image) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD pid = 0;
  for (BOOL more = Process32First(snap, &entry); more && !pid; more = Process32Next(snap, &entry))
    if (_stricmp(entry.szExeFile, image) == 0) pid = entry.th32ProcessID;
  CloseHandle(snap);
  return pid;
}

int Report(const char* image) {
  const DWORD pid = PidOf(image);
  HANDLE process = pid ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid) : nullptr;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  const bool read = process && K32GetProcessMemoryInfo(process, &counters, sizeof counters);
  if (process) CloseHandle(process);
  const long handles = read ? HandleCountOf(pid) : -1;
  if (handles < 0) return 1;
  std::printf("pid=%lu\nhandles=%ld\nmemory=%llu\nworking_set=%llu\n", pid, handles,
              static_cast<unsigned long long>(counters.PagefileUsage),
              static_cast<unsigned long long>(counters.WorkingSetSize));
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return argc == 2 ? Report(argv[1]) : 2; }
