// A process's kernel handles, counted in the system-wide handle table: Wine 8
// answers GetProcessHandleCount with 0. Shared by the probe and the test host.
#pragma once
#include <windows.h>

#include <vector>

inline long HandleCountOf(DWORD pid) {
  // The system answers in the caller's layout (object a pointer of its size): right in either tree.
  struct Entry {
    ULONG pid;
    UCHAR type, flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  struct Table {
    ULONG count;
    Entry entries[1];
  };
  using QueryFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  constexpr int kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  if (!query) return -1;
  std::vector<char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status;
  for (;;) {
    status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    // The table can grow between two calls: doubling, not the size reported.
    if (status != kInfoLengthMismatch || buffer.size() >= (64u << 20)) break;
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return -1;
  const auto* table = reinterpret_cast<const Table*>(buffer.data());
  long owned = 0;
  for (ULONG i = 0; i < table->count; ++i) owned += table->entries[i].pid == pid;
  return owned;
}
