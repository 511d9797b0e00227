// np_host: runs product code on the real Win32 backend where pellumin.exe does
// not reach it yet, for the Wine tests.
//   np_host settings                       the Settings window, as the tray menu will open it
//   np_host reg read|delete <subkey> <name>  the Registry module on HKLM
//   np_host reg write <subkey> <name> sz <text> | i2 <n> | i4 <n> | r8 <x> | bool | empty
//   np_host source pdh <english counter path> <n> | diskstats <n>
//                                          a disk rate source, sampled n times 100 ms apart
// Text arguments and values are ASCII with \uXXXX escapes, so that no code
// page other than the product's own touches them. Prints key=value lines.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "runtime/form.h"
#include "program/program.h"
#include "platform/win32/win32_disk_sources.h"
#include "platform/win32/win32_platform.h"
#include "settings/registry.h"

namespace {

using np::Variant;

std::wstring Unescape(const std::string& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s.compare(i, 2, "\\u") == 0 && i + 6 <= s.size()) {
      out += static_cast<wchar_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16));
      i += 5;
    } else {
      out += static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
    }
  }
  return out;
}

// NULs made visible, so a string's filler can be counted.
std::string Escape(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    char buf[8];
    std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7F && c != L'\\' ? "%c" : "\\u%04x", static_cast<unsigned>(c));
    out += buf;
  }
  return out;
}

bool ParseData(int argc, char** argv, Variant* data) {
  const std::string kind = argc > 0 ? argv[0] : "";
  const char* arg = argc == 2 ? argv[1] : nullptr;
  if (kind == "bool" && argc == 1)
    *data = Variant::Bool(true);
  else if (kind == "empty" && argc == 1)
    *data = Variant();
  else if (kind == "sz" && arg)
    *data = Variant::Str(Unescape(arg));
  else if (kind == "i2" && arg)
    *data = Variant::I2(static_cast<std::int16_t>(std::strtol(arg, nullptr, 0)));
  else if (kind == "i4" && arg)
    *data = Variant::I4(static_cast<std::int32_t>(std::strtoll(arg, nullptr, 0)));
  else if (kind == "r8" && arg)
    *data = Variant::R8(std::strtod(arg, nullptr));
  else
    return false;
  return true;
}

int Registry(np::Platform& platform, int argc, char** argv) {
  if (argc < 3) return 2;
  const np::RegistryContext reg{platform.registry, platform.codec};
  const std::string command = argv[0];
  const std::wstring key = Unescape(argv[1]), name = Unescape(argv[2]);
  std::int32_t status = 0;
  // A read never yields a double, so this one shows the value untouched.
  Variant data = Variant::R8(2.5);
  if (command == "read" && argc == 3)
    status = np::RegReadValueEntry(reg, np::kHkeyLocalMachine, key, name, data);
  else if (command == "delete" && argc == 3)
    status = np::RegDeleteValueEntry(reg, np::kHkeyLocalMachine, key, name);
  else if (command == "write" && ParseData(argc - 3, argv + 3, &data))
    status = np::RegWriteValueEntry(reg, np::kHkeyLocalMachine, key, name, data);
  else
    return 2;
  std::printf("status=%ld\n", static_cast<long>(status));
  if (command != "read") return 0;
  std::printf("type=%u\n", static_cast<unsigned>(data.Type()));
  if (data.Type() == np::vt::kBstr)
    std::printf("value=%s\n", Escape(data.String()).c_str());
  else if (data.Type() == np::vt::kR8)
    std::printf("value=%g\n", data.Double());
  else
    std::printf("value=%ld\n", static_cast<long>(data.Long()));
  return 0;
}

// The product passes the disk counter, which Wine lacks; Wine's PDH serves
// others, which prove the same calls.
int Source(int argc, char** argv) {
  const std::string kind = argc > 0 ? argv[0] : "";
  if (!((kind == "pdh" && argc == 3) || (kind == "diskstats" && argc == 2))) return 2;
  std::string why;
  const auto source = kind == "pdh" ? np::OpenPdhSource(argv[1], &why) : np::OpenDiskstatsSource(&why);
  std::printf("wine=%d\n", np::RunningUnderWine() ? 1 : 0);
  if (!source) {
    std::printf("error=%s\n", why.c_str());
    return 0;
  }
  for (int i = std::atoi(argv[argc - 1]); i > 0; --i) {
    try {
      source->Collect();
      std::printf("value=%.6g\n", source->Value());
    } catch (const std::exception& e) {
      std::printf("error=%s\n", e.what());
      return 0;
    }
    Sleep(100);  // the pace of the samples, not a wait for anything
  }
  return 0;
}

// Like the sampler will, refers to the Settings window every 100 ms and writes
// into its text box, so a closed window comes back hidden and the probe can
// tell when its load step is over.
class Referrer final : public np::Form {
 public:
  Referrer(np::Platform& platform, np::Program& program)
      : Form(platform.windows, {L"", 100, 100, np::FormKind::kHidden}), program_(program) {
    windows_.StartTimer(Id(), 1, 100);
  }

 private:
  void OnTimer(int) override { windows_.SetText(program_.Settings().Get().txtDisp, std::to_wstring(++ticks_)); }
  np::Program& program_;
  int ticks_ = 0;
};

// Another process cannot read a window's icon under Wine, so the host reports it.
void PrintIconSize(HWND window) {
  ICONINFO info{};
  BITMAP bm{};
  HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
  if (icon && GetIconInfo(icon, &info) && GetObjectA(info.hbmColor, sizeof bm, &bm))
    std::printf("icon=%ldx%ld\n", bm.bmWidth, bm.bmHeight);
  else
    std::printf("icon=none\n");
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  np::Win32Platform win32(GetModuleHandleA(nullptr));
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "reg") return Registry(win32.platform, argc - 2, argv + 2);
  if (mode == "source") return Source(argc - 2, argv + 2);
  if (mode != "settings") return 2;
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.Settings().Show(); });
  PrintIconSize(reinterpret_cast<HWND>(win32.windows.Handle(program.Settings().Get().Id())));
  Referrer referrer(win32.platform, program);
  return win32.RunMessageLoop();
}
