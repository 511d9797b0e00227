// Top-level windows, their controls and timers, in plain Win32.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "platform/api/error_sink.h"
#include "platform/api/window_system.h"
#include "platform/win32/win32_drawn_controls.h"
#include "platform/win32/win32_tooltip.h"

namespace np {

class Win32WindowSystem final : public WindowSystem {
 public:
  Win32WindowSystem(HINSTANCE instance, HICON app_icon, ErrorSink& errors);
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  WindowId CreateForm(const FormDesign& design, FormEvents& events) override;
  void DestroyForm(WindowId id) override;
  void ShowForm(WindowId id) override;
  std::uintptr_t Handle(WindowId id) override;
  std::uintptr_t IconHandle(WindowId id) override;
  void StartTimer(WindowId id, int timer_id, std::uint32_t interval_ms) override;
  void StopTimer(WindowId id, int timer_id) override;
  ControlId AddCheckBox(WindowId form, const TwipsRect& rect, const std::wstring& caption) override;
  ControlId AddTextBox(WindowId form, const TwipsRect& rect, const std::wstring& tooltip) override;
  int CheckValue(ControlId box) override;
  void SetCheckValue(ControlId box, int value) override;
  std::wstring Text(ControlId id) override;
  void SetText(ControlId id, const std::wstring& text) override;
  ControlId AddLabel(WindowId form, const LabelDesign& design) override;
  ControlId AddPicture(WindowId form, const PictureDesign& design) override;
  ControlId AddLine(WindowId form, const LineDesign& design) override;
  void SetForeColour(ControlId label, Colour colour) override;
  LineEnds Line(ControlId line) override;
  void MoveLine(ControlId line, const LineEnds& ends) override;
  void SetForegroundWindow(WindowId form) override;
  int PopupMenu(WindowId host, const std::vector<MenuItem>& items, int default_id) override;

  // The thread's message loop, until WM_QUIT; returns its exit code.
  int RunMessageLoop();

 private:
  struct Window {
    Win32WindowSystem* system = nullptr;
    WindowId id = 0;
    HWND hwnd = nullptr;
    FormEvents* events = nullptr;
    std::unique_ptr<WindowTooltip> tooltip{};  // of all its controls
    std::unique_ptr<DrawnControls> drawn{};    // made with the first drawn control
    ControlId pressed = 0;                 // the drawn control a button went down on
    MouseButton pressed_button = MouseButton::kLeft;
  };
  struct Control {
    WindowId form = 0;
    HWND hwnd = nullptr;  // nullptr for a drawn control
    // What a text box shows, read once and kept until it reports a change:
    // the sample every 30 ms asks for it.
    bool text_box = false;
    std::optional<std::wstring> text{};
  };

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(Window& window, UINT msg, WPARAM wparam, LPARAM lparam);
  static std::optional<LRESULT> OnDrawnMessage(Window& window, UINT msg, WPARAM wparam, LPARAM lparam);
  static void OnButtonUp(Window& window, MouseButton button, POINT at);
  void CloseByUser(const Window& window);
  void RelayToTooltip(const MSG& msg);
  template <class AddFn>
  ControlId AddDrawn(WindowId form, AddFn add);
  DrawnControls& drawn(ControlId id);
  Window& window(WindowId id);
  HWND control(ControlId id);
  std::optional<std::pair<ControlId, Control*>> ControlOf(HWND child);
  HWND CreateChild(WindowId form, ControlId id, const char* cls, DWORD style, DWORD ex_style, const TwipsRect& rect,
                   const std::wstring& text);
  int Pixels(int twips) const;
  bool RegisterFormClass() const;

  HINSTANCE instance_;
  HICON icon_;
  ErrorSink& errors_;
  int dpi_;
  UINT taskbar_created_;  // the shell's registered message; 0 if it could not be registered
  HFONT font_;
  bool class_registered_;
  std::map<WindowId, Window> windows_;
  std::map<ControlId, Control> controls_;
  WindowId next_window_ = 1;
  ControlId next_control_ = 100;  // child ids below 100 are left to the dialog manager (IDOK, ...)
};

}  // namespace np
