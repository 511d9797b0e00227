// The Win32 backend of the small services: clock, keyboard, tray, message box,
// shell, application, and COM for the user-interface thread.
#pragma once
#include <windows.h>

#include "platform/api/application.h"
#include "platform/api/clock.h"
#include "platform/api/keyboard.h"
#include "platform/api/message_box.h"
#include "platform/api/shell.h"
#include "platform/api/tray_shell.h"
#include "platform/api/user_locale.h"

namespace np {

class Win32Clock final : public Clock {
 public:
  std::uint64_t NowMs() override;
  void Sleep(std::uint32_t ms) override;
};

class Win32Keyboard final : public Keyboard {
 public:
  void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra_info) override;
};

class Win32TrayShell final : public TrayShell {
 public:
  bool NotifyIconA(std::uint32_t message, AnsiNotifyIconData* data) override;
};

class Win32MessageBoxes final : public MessageBoxes {
 public:
  int Show(const std::wstring& text, const std::wstring& caption, unsigned type) override;
};

class Win32Shell final : public Shell {
 public:
  std::intptr_t ExecuteA(std::uintptr_t owner, const std::wstring& operation, const std::wstring& file,
                         const std::wstring& parameters, const std::wstring& directory, int show_command) override;
};

// ShellExecute may hand a link to a handler that is a COM object, so its
// callers are to initialise COM on their thread first: once, for the life of
// the platform, on the thread that builds it.
class Win32ComApartment {
 public:
  Win32ComApartment();
  ~Win32ComApartment();
  Win32ComApartment(const Win32ComApartment&) = delete;
  Win32ComApartment& operator=(const Win32ComApartment&) = delete;

 private:
  bool initialised_;
};

class Win32UserLocale final : public UserLocale {
 public:
  std::wstring DecimalSeparator() override;
};

class Win32Application final : public Application {
 public:
  bool PrevInstance() override;
  std::wstring ModuleFileName() override;
  void EndProcess() override;

 private:
  HANDLE instance_mutex_ = nullptr;
  bool instance_checked_ = false;
  bool prev_instance_ = false;
};

}  // namespace np
