// Fakes of the small services: keyboard, tray shell, message box, shell, disk
// rate sources, application.
#include "platform/fake/fake_devices.h"

#include <cstring>
#include <utility>

#include "platform/api/error_sink.h"

namespace np {

void FakeKeyboard::KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra) {
  log_.Add("keybd_event " + std::to_string(vk) + " " + std::to_string(scan) + " " + std::to_string(flags) + " " +
           std::to_string(extra));
  events_.push_back({vk, scan, flags, extra, log_.Calls().back().time_ms});
  Apply(vk, (flags & kKeyEventKeyUp) != 0);
}

void FakeKeyboard::UserTap(std::uint8_t vk) {
  Apply(vk, false);
  Apply(vk, true);
}

void FakeKeyboard::Apply(std::uint8_t vk, bool key_up) {
  bool& down = down_[vk];
  if (!key_up && !down) locked_[vk] = !locked_[vk];  // auto-repeat does not toggle
  down = !key_up;
}

bool FakeTrayShell::NotifyIconA(std::uint32_t message, AnsiNotifyIconData* data) {
  log_.Add("Shell_NotifyIconA " + std::to_string(message));
  TrayCallRecord call{message, std::vector<std::uint8_t>(sizeof *data), log_.Calls().back().time_ms};
  std::memcpy(call.bytes.data(), data, sizeof *data);
  calls_.push_back(std::move(call));
  if (std::exchange(fail_next_, false)) return false;
  const auto key = std::make_pair(data->hWnd, data->uID);
  if (message == kNimAdd) return icons_.emplace(key, *data).second;
  if (message == kNimDelete) return icons_.erase(key) == 1;
  return false;
}

int FakeMessageBoxes::Show(const std::wstring& text, const std::wstring& caption, unsigned type) {
  log_.Add("MessageBoxA " + std::to_string(type));
  shown_.push_back({text, caption, type, log_.Calls().back().time_ms});
  if (while_open) while_open();
  return 1;  // IDOK
}

std::intptr_t FakeShell::ExecuteA(std::uintptr_t owner, const std::wstring& operation, const std::wstring& file,
                                  const std::wstring& parameters, const std::wstring& directory, int show_command) {
  log_.Add("ShellExecuteA");
  calls_.push_back({owner, operation, file, parameters, directory, show_command});
  if (while_running) while_running();
  constexpr std::intptr_t kSeErrNoAssoc = 31, kStarted = 42;
  return handler_registered ? kStarted : kSeErrNoAssoc;
}

class FakeDiskRateSources::Source final : public DiskRateSource {
 public:
  explicit Source(FakeDiskRateSources& owner) : owner_(owner) { ++owner_.open_sources_; }
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  ~Source() override { --owner_.open_sources_; }

  void Collect() override {
    owner_.log_.Add("DiskSource.Collect");
    ++owner_.collects_;
    if (!owner_.available) throw RuntimeError("the disk source went away");
  }

  double Value() override {
    owner_.log_.Add("DiskSource.Value");
    ++owner_.readings_taken_;
    if (!owner_.fail_reading_.empty()) throw RuntimeError(std::exchange(owner_.fail_reading_, {}));
    auto& script = owner_.readings_;
    if (script.empty()) return 0;
    const double value = script.front();
    if (script.size() > 1) script.pop_front();
    return value;
  }

 private:
  FakeDiskRateSources& owner_;
};

std::unique_ptr<DiskRateSource> FakeDiskRateSources::Open() {
  log_.Add("DiskSource.Open");
  ++opens_;
  if (!available) throw RuntimeError("no disk source");
  return std::make_unique<Source>(*this);
}

bool FakeApplication::PrevInstance() {
  log_.Add("PrevInstance");
  return another_instance_running;
}

std::wstring FakeApplication::ModuleFileName() {
  log_.Add("ModuleFileName");
  return module_file_name;
}

void FakeApplication::EndProcess() {
  log_.Add("EndProcess");
  ended_ = true;
}

}  // namespace np
