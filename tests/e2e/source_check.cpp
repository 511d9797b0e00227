// Opens one disk rate source and prints a value per sample, to check the sources under Wine or on Windows.
//   source_check pdh "<english counter path>" <n> <interval_ms> | source_check diskstats <n> <interval_ms>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "platform/win32/win32_disk_sources.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: source_check pdh \"<counter path>\" <n> <interval_ms>\n"
               "       source_check diskstats <n> <interval_ms>\n");
  return 64;
}

int Run(np::DiskRateSource& source, int samples, int interval_ms) {
  for (int i = 1; i <= samples; ++i) {
    if (i > 1) Sleep(static_cast<DWORD>(interval_ms));
    try {
      source.Collect();
      std::printf("sample %d: %.6g\n", i, source.Value());
    } catch (const std::exception& e) {
      std::printf("sample %d: error: %s\n", i, e.what());
      return 3;
    }
    std::fflush(stdout);  // a test reading the output as it comes sees every line
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  const int first_number = kind == "pdh" ? 3 : 2;
  if ((kind != "pdh" && kind != "diskstats") || argc != first_number + 2) return Usage();
  const int samples = std::atoi(argv[first_number]), interval_ms = std::atoi(argv[first_number + 1]);
  if (samples < 1 || interval_ms < 0) return Usage();

  std::printf("under wine: %s\n", np::RunningUnderWine() ? "yes" : "no");
  std::string why;
  const auto source = kind == "pdh" ? np::OpenPdhSource(argv[2], &why) : np::OpenDiskstatsSource(&why);
  if (source == nullptr) {
    std::printf("cannot open: %s\n", why.c_str());
    return 2;
  }
  std::fflush(stdout);
  return Run(*source, samples, interval_ms);
}
