// The Win32 backend of the small services.
#include "platform/win32/win32_services.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstddef>

#include "platform/win32/win32_text_codec.h"

namespace np {

// The core's record must be the shell's first-version ANSI layout, byte for byte.
static_assert(sizeof(AnsiNotifyIconData) == NOTIFYICONDATAA_V1_SIZE);
static_assert(offsetof(AnsiNotifyIconData, hWnd) == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(offsetof(AnsiNotifyIconData, uID) == offsetof(NOTIFYICONDATAA, uID));
static_assert(offsetof(AnsiNotifyIconData, uCallbackMessage) == offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(offsetof(AnsiNotifyIconData, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(offsetof(AnsiNotifyIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip));

std::uint64_t Win32Clock::NowMs() { return GetTickCount64(); }

void Win32Clock::Sleep(std::uint32_t ms) { ::Sleep(ms); }

void Win32Keyboard::KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra_info) {
  keybd_event(vk, scan, flags, extra_info);
}

bool Win32TrayShell::NotifyIconA(std::uint32_t message, AnsiNotifyIconData* data) {
  return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(data)) != FALSE;
}

int Win32MessageBoxes::Show(const std::wstring& text, const std::wstring& caption, unsigned type) {
  return MessageBoxA(nullptr, ToAnsiCp(text).c_str(), ToAnsiCp(caption).c_str(), type);
}

std::intptr_t Win32Shell::ExecuteA(std::uintptr_t owner, const std::wstring& operation, const std::wstring& file,
                                   const std::wstring& parameters, const std::wstring& directory, int show_command) {
  HINSTANCE result = ShellExecuteA(reinterpret_cast<HWND>(owner), ToAnsiCp(operation).c_str(), ToAnsiCp(file).c_str(),
                                   ToAnsiCp(parameters).c_str(), ToAnsiCp(directory).c_str(), show_command);
  return reinterpret_cast<std::intptr_t>(result);
}

// Failing (another apartment model already on the thread) leaves ShellExecute
// to work as well as it can; the program reports nothing of its links.
Win32ComApartment::Win32ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

Win32ComApartment::~Win32ComApartment() {
  if (initialised_) CoUninitialize();
}

std::wstring Win32UserLocale::DecimalSeparator() {
  char separator[8] = ".";  // LOCALE_SDECIMAL allows up to three characters
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator) == 0) return L".";
  return FromAnsiCp(separator);
}

bool Win32Application::PrevInstance() {
  // The first copy holds the mutex for its life; the system drops it at exit.
  if (!instance_checked_) {
    instance_checked_ = true;
    instance_mutex_ = CreateMutexA(nullptr, FALSE, "NorvanePellumin.SingleInstance");
    const DWORD error = GetLastError();
    // Access denied: the mutex exists, made by a copy that runs elevated.
    prev_instance_ = error == ERROR_ALREADY_EXISTS || (instance_mutex_ == nullptr && error == ERROR_ACCESS_DENIED);
    // A refused copy must not keep the name alive while its box is open: the
    // first copy may end meanwhile, and the next start must then be let in.
    if (prev_instance_ && instance_mutex_ != nullptr) {
      CloseHandle(instance_mutex_);
      instance_mutex_ = nullptr;
    }
  }
  return prev_instance_;
}

std::wstring Win32Application::ModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: a long path
  }
}

void Win32Application::EndProcess() { ExitProcess(0); }

}  // namespace np
