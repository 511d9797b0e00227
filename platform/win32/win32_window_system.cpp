// Top-level windows, their controls and timers, in plain Win32.
#include "platform/win32/win32_window_system.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/common/twips.h"
#include "platform/win32/win32_text_codec.h"

namespace np {

namespace {

constexpr char kFormClass[] = "NorvanePelluminForm";

struct Frame {
  DWORD style, ex_style;
};

Frame FrameOf(FormKind kind) {
  // A fixed single border: caption and close box, no sizing, no min/max box.
  const DWORD fixed = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  if (kind == FormKind::kHidden) return {fixed, WS_EX_TOOLWINDOW};  // no taskbar button, ever
  return {fixed, WS_EX_CONTROLPARENT};
}

// An elevated copy receives the non-elevated shell's broadcasts only where its
// window lets them in. The filter call exists from Windows 7 on: bound at run time.
void AllowFromLowerIntegrity(HWND hwnd, UINT msg) {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  constexpr DWORD kMsgFltAllow = 1;
  static const auto filter = reinterpret_cast<FilterFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx")));
  if (filter != nullptr) filter(hwnd, msg, kMsgFltAllow, nullptr);
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Hands the keyboard messages of our dialog-like windows to the dialog
// manager, which moves between their controls on Tab and arrow keys; true when
// it took the message. Only keys: for any other message it just dispatches, and
// the timer's tick is not worth two window lookups.
bool DialogManagerTook(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  return root != nullptr && (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 &&
         IsDialogMessageA(root, &msg);
}

}  // namespace

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance, HICON app_icon, ErrorSink& errors)
    : instance_(instance),
      icon_(app_icon),
      errors_(errors),
      dpi_(ScreenDpi()),
      taskbar_created_(RegisterWindowMessageA("TaskbarCreated")),
      font_(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))),
      class_registered_(RegisterFormClass()) {}

int Win32WindowSystem::Pixels(int twips) const { return TwipsToPixels(twips, dpi_); }

Win32WindowSystem::Window& Win32WindowSystem::window(WindowId id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) throw RuntimeError("the window is not loaded");
  return it->second;
}

// By the child's handle: control ids grow without reuse across windows, and a
// notification carries only the low 16 bits of one.
std::optional<std::pair<ControlId, Win32WindowSystem::Control*>> Win32WindowSystem::ControlOf(HWND child) {
  if (child == nullptr) return std::nullopt;
  for (auto& [id, c] : controls_) {
    if (c.hwnd == child) return std::pair{id, &c};
  }
  return std::nullopt;
}

HWND Win32WindowSystem::control(ControlId id) {
  auto it = controls_.find(id);
  if (it == controls_.end()) throw RuntimeError("the control is not loaded");
  return it->second.hwnd;
}

bool Win32WindowSystem::RegisterFormClass() const {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  // A double-click arrives as a press and a double-click message, not as two
  // presses: a link double-clicked opens once.
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance_;
  wc.hIcon = icon_;
  wc.hIconSm = icon_;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  return RegisterClassExA(&wc) != 0;
}

Win32WindowSystem::~Win32WindowSystem() {
  if (class_registered_) UnregisterClassA(kFormClass, instance_);
}

WindowId Win32WindowSystem::CreateForm(const FormDesign& design, FormEvents& events) {
  if (!class_registered_) throw RuntimeError("cannot register the window class");

  const Frame frame = FrameOf(design.kind);
  RECT r{0, 0, Pixels(design.client_width_twips), Pixels(design.client_height_twips)};
  AdjustWindowRectEx(&r, frame.style, FALSE, frame.ex_style);
  const int width = r.right - r.left, height = r.bottom - r.top;
  int x = 0, y = 0;
  if (design.kind == FormKind::kFixedDialog) {
    x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }

  const WindowId id = next_window_++;
  Window& w = windows_[id] = Window{this, id, nullptr, &events};
  HWND hwnd = CreateWindowExA(frame.ex_style, kFormClass, ToAnsiCp(design.caption).c_str(), frame.style, x, y, width,
                              height, nullptr, nullptr, instance_, &w);
  if (hwnd == nullptr) {
    windows_.erase(id);
    throw RuntimeError("cannot create the window");
  }
  w.tooltip = std::make_unique<WindowTooltip>(instance_, hwnd, errors_);
  if (design.kind == FormKind::kHidden && taskbar_created_ != 0) AllowFromLowerIntegrity(hwnd, taskbar_created_);
  return id;
}

void Win32WindowSystem::DestroyForm(WindowId id) {
  auto it = windows_.find(id);
  if (it == windows_.end()) return;
  std::erase_if(controls_, [id](const auto& entry) { return entry.second.form == id; });
  DestroyWindow(it->second.hwnd);  // timers, children and tooltips go with it
  windows_.erase(id);
}

void Win32WindowSystem::ShowForm(WindowId id) {
  HWND hwnd = window(id).hwnd;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd);
}

std::uintptr_t Win32WindowSystem::Handle(WindowId id) { return reinterpret_cast<std::uintptr_t>(window(id).hwnd); }

std::uintptr_t Win32WindowSystem::IconHandle(WindowId id) {
  window(id);
  if (icon_ == nullptr) throw RuntimeError("the application icon cannot be loaded");
  return reinterpret_cast<std::uintptr_t>(icon_);
}

void Win32WindowSystem::StartTimer(WindowId id, int timer_id, std::uint32_t interval_ms) {
  if (SetTimer(window(id).hwnd, static_cast<UINT_PTR>(timer_id), interval_ms, nullptr) == 0) {
    throw RuntimeError("cannot start a timer");
  }
}

void Win32WindowSystem::StopTimer(WindowId id, int timer_id) {
  KillTimer(window(id).hwnd, static_cast<UINT_PTR>(timer_id));
}

HWND Win32WindowSystem::CreateChild(WindowId form, ControlId id, const char* cls, DWORD style, DWORD ex_style,
                                    const TwipsRect& rect, const std::wstring& text) {
  HWND parent = window(form).hwnd;
  HWND child = CreateWindowExA(ex_style, cls, ToAnsiCp(text).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                               Pixels(rect.left), Pixels(rect.top), Pixels(rect.width), Pixels(rect.height), parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance_, nullptr);
  if (child == nullptr) throw RuntimeError("cannot create a control");
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  controls_[id] = Control{form, child};
  return child;
}

ControlId Win32WindowSystem::AddCheckBox(WindowId form, const TwipsRect& rect, const std::wstring& caption) {
  const ControlId id = next_control_++;
  CreateChild(form, id, "BUTTON", BS_AUTOCHECKBOX, 0, rect, caption);
  return id;
}

ControlId Win32WindowSystem::AddTextBox(WindowId form, const TwipsRect& rect, const std::wstring& tooltip) {
  const ControlId id = next_control_++;
  HWND edit = CreateChild(form, id, "EDIT", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, rect, L"");
  controls_.at(id).text_box = true;
  window(form).tooltip->AddChild(edit, tooltip);
  return id;
}

int Win32WindowSystem::CheckValue(ControlId box) {
  return static_cast<int>(SendMessageA(control(box), BM_GETCHECK, 0, 0));
}

void Win32WindowSystem::SetCheckValue(ControlId box, int value) {
  SendMessageA(control(box), BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

std::wstring Win32WindowSystem::Text(ControlId id) {
  HWND hwnd = control(id);
  Control& box = controls_.at(id);
  if (box.text) return *box.text;
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
  std::wstring wide = FromAnsiCp(text);
  if (box.text_box) box.text = wide;  // only a text box reports its changes
  return wide;
}

void Win32WindowSystem::SetText(ControlId id, const std::wstring& text) {
  HWND hwnd = control(id);
  Control& box = controls_.at(id);
  box.text.reset();
  const std::string ansi = ToAnsiCp(text);
  if (!SetWindowTextA(hwnd, ansi.c_str())) throw RuntimeError("cannot set the text");
  // A box holds printable text as given, in the code page's spelling: kept,
  // it spares the next sample two messages to the box. Anything else is read
  // back.
  const bool printable =
      std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
  if (box.text_box && printable) box.text = FromAnsiCp(ansi);
}

void Win32WindowSystem::SetForegroundWindow(WindowId form) { ::SetForegroundWindow(window(form).hwnd); }

int Win32WindowSystem::PopupMenu(WindowId host, const std::vector<MenuItem>& items, int default_id) {
  HWND hwnd = window(host).hwnd;
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) throw RuntimeError("cannot create the popup menu");
  for (const MenuItem& item : items) {
    if (item.caption == L"-") {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(item.id), ToAnsiCp(item.caption).c_str());
    }
  }
  SetMenuDefaultItem(menu, static_cast<UINT>(default_id), FALSE);
  POINT at{};
  GetCursorPos(&at);
  const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                     at.x, at.y, 0, hwnd, nullptr));
  // The documented companion of SetForegroundWindow before a tray menu: without
  // a message to the owner, the next menu may not close on a click elsewhere.
  PostMessageA(hwnd, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen;
}

LRESULT CALLBACK Win32WindowSystem::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* created = reinterpret_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    created->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* w = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  if (w == nullptr || msg == WM_NCDESTROY) return DefWindowProcA(hwnd, msg, wparam, lparam);
  // A handler may unload its own window: nothing below touches w afterwards.
  return w->system->OnMessage(*w, msg, wparam, lparam);
}

LRESULT Win32WindowSystem::OnMessage(Window& w, UINT msg, WPARAM wparam, LPARAM lparam) {
  FormEvents* events = w.events;
  if (msg == taskbar_created_ && msg != 0) {
    events->OnShellRestarted();
    return 0;
  }
  if (w.drawn) {
    if (const std::optional<LRESULT> handled = OnDrawnMessage(w, msg, wparam, lparam)) return *handled;
  }
  switch (msg) {
    case WM_TIMER:
      events->OnTimer(static_cast<int>(wparam));
      return 0;
    case WM_MOUSEMOVE:
      events->OnMouseMove(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
      return 0;
    case WM_COMMAND: {
      const auto from = ControlOf(reinterpret_cast<HWND>(lparam));
      if (!from) break;
      if (HIWORD(wparam) == BN_CLICKED) {
        events->OnControlClick(from->first);
        return 0;
      }
      // Typed, pasted or set: read the box again when next asked.
      if (HIWORD(wparam) == EN_CHANGE) from->second->text.reset();
      break;
    }
    case WM_CLOSE:
      // The hidden main window is never seen, so nobody can close it by hand.
      if (GetWindowLongPtrA(w.hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return 0;
      CloseByUser(w);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(w.hwnd, msg, wparam, lparam);
}

void Win32WindowSystem::CloseByUser(const Window& w) {
  FormEvents* events = w.events;
  DestroyForm(w.id);  // w is gone from here on
  events->OnUserClosed();
}

int Win32WindowSystem::RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (DialogManagerTook(msg)) continue;
    RelayToTooltip(msg);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void Win32WindowSystem::RelayToTooltip(const MSG& msg) {
  if (msg.message < WM_MOUSEFIRST || msg.message > WM_MOUSELAST) return;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  for (auto& entry : windows_) {
    if (entry.second.hwnd == root) entry.second.tooltip->Relay(msg);
  }
}

}  // namespace np
