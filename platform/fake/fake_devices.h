// Fakes of the small services: keyboard, tray shell, message box, shell, disk
// rate sources, application.
// Each records every call with its time and keeps the state a user could see.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/api/application.h"
#include "platform/api/disk_rate_source.h"
#include "platform/api/keyboard.h"
#include "platform/api/message_box.h"
#include "platform/api/shell.h"
#include "platform/api/tray_shell.h"
#include "platform/api/user_locale.h"
#include "platform/fake/call_log.h"

namespace np {

struct KeyEventRecord {
  std::uint8_t vk, scan;
  std::uint32_t flags;
  std::uintptr_t extra;
  std::uint64_t time_ms;
};

// A keyboard whose lock keys toggle on a key-down of a released key only, as the real one does.
class FakeKeyboard final : public Keyboard {
 public:
  explicit FakeKeyboard(CallLog& log) : log_(log) {}
  void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra) override;

  // The user presses and releases a key on the real keyboard, or only presses it.
  void UserTap(std::uint8_t vk);
  void UserPress(std::uint8_t vk) { Apply(vk, false); }
  bool LockOn(std::uint8_t vk) const { return locked_.count(vk) != 0 && locked_.at(vk); }
  void SetLock(std::uint8_t vk, bool on) { locked_[vk] = on; }
  const std::vector<KeyEventRecord>& Events() const { return events_; }

 private:
  void Apply(std::uint8_t vk, bool key_up);
  CallLog& log_;
  std::vector<KeyEventRecord> events_;
  std::map<std::uint8_t, bool> down_, locked_;
};

struct TrayCallRecord {
  std::uint32_t message;
  std::vector<std::uint8_t> bytes;  // the record exactly as the shell received it
  std::uint64_t time_ms;
};

// A notification area: remembers which icons (by window and id) are shown.
class FakeTrayShell final : public TrayShell {
 public:
  explicit FakeTrayShell(CallLog& log) : log_(log) {}
  bool NotifyIconA(std::uint32_t message, AnsiNotifyIconData* data) override;

  const std::vector<TrayCallRecord>& Calls() const { return calls_; }
  std::size_t IconCount() const { return icons_.size(); }
  // The shell not being ready yet, say.
  void FailNextCall() { fail_next_ = true; }

 private:
  CallLog& log_;
  std::vector<TrayCallRecord> calls_;
  std::map<std::pair<std::uintptr_t, std::uint32_t>, AnsiNotifyIconData> icons_;
  bool fail_next_ = false;
};

struct MessageBoxRecord {
  std::wstring text, caption;
  unsigned type;
  std::uint64_t time_ms;
};

class FakeMessageBoxes final : public MessageBoxes {
 public:
  explicit FakeMessageBoxes(CallLog& log) : log_(log) {}
  int Show(const std::wstring& text, const std::wstring& caption, unsigned type) override;
  const std::vector<MessageBoxRecord>& Shown() const { return shown_; }
  // Runs while a box is open, as the box's modal loop would deliver messages.
  std::function<void()> while_open;

 private:
  CallLog& log_;
  std::vector<MessageBoxRecord> shown_;
};

struct ShellExecuteRecord {
  std::uintptr_t owner;
  std::wstring operation, file, parameters, directory;
  int show_command;
};

// A shell that hands every request to a handler, unless none is registered.
class FakeShell final : public Shell {
 public:
  explicit FakeShell(CallLog& log) : log_(log) {}
  std::intptr_t ExecuteA(std::uintptr_t owner, const std::wstring& operation, const std::wstring& file,
                         const std::wstring& parameters, const std::wstring& directory, int show_command) override;

  const std::vector<ShellExecuteRecord>& Calls() const { return calls_; }
  bool handler_registered = true;
  // Runs inside the call, as the nested loop of the shell's own error box does.
  std::function<void()> while_running;

 private:
  CallLog& log_;
  std::vector<ShellExecuteRecord> calls_;
};

// Disk rate sources whose readings play a script: each reading takes the next
// scripted value (the last one repeats; 0 when there is none).
class FakeDiskRateSources final : public DiskRateSources {
 public:
  explicit FakeDiskRateSources(CallLog& log) : log_(log) {}
  std::unique_ptr<DiskRateSource> Open() override;

  void Script(std::vector<double> readings) { readings_.assign(readings.begin(), readings.end()); }
  // The next reading of an open source fails with this message.
  void FailNextReading(std::string why) { fail_reading_ = std::move(why); }
  // While false, opening fails and so does every collect of an open source,
  // as when the disk counters or the file go away.
  bool available = true;
  int Opens() const { return opens_; }
  int OpenSources() const { return open_sources_; }
  int Collects() const { return collects_; }
  int Readings() const { return readings_taken_; }

 private:
  class Source;
  CallLog& log_;
  std::deque<double> readings_;
  std::string fail_reading_;
  int opens_ = 0, open_sources_ = 0, collects_ = 0, readings_taken_ = 0;
};

class FakeUserLocale final : public UserLocale {
 public:
  std::wstring DecimalSeparator() override { return separator; }
  std::wstring separator = L".";
};

class FakeApplication final : public Application {
 public:
  explicit FakeApplication(CallLog& log) : log_(log) {}
  bool PrevInstance() override;
  std::wstring ModuleFileName() override;
  void EndProcess() override;

  bool another_instance_running = false;
  std::wstring module_file_name = L"C:\\Program Files\\Norvane\\pellumin.exe";
  bool Ended() const { return ended_; }

 private:
  CallLog& log_;
  bool ended_ = false;
};

}  // namespace np
