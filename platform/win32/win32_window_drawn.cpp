// The window system's side of drawn controls: adding them to a window, and
// the paint, pointer and button messages of the windows that have them.
#include "platform/win32/win32_window_system.h"

#include <windowsx.h>

#include <optional>
#include <utility>

namespace np {

template <class AddFn>
ControlId Win32WindowSystem::AddDrawn(WindowId form, AddFn add) {
  Window& w = window(form);
  if (!w.drawn) w.drawn = std::make_unique<DrawnControls>(instance_, w.hwnd, *w.tooltip, dpi_);
  const ControlId id = next_control_++;
  add(*w.drawn, id);
  controls_[id] = Control{form, nullptr};
  return id;
}

ControlId Win32WindowSystem::AddLabel(WindowId form, const LabelDesign& design) {
  return AddDrawn(form, [&](DrawnControls& drawn, ControlId id) { drawn.AddLabel(id, design); });
}

ControlId Win32WindowSystem::AddPicture(WindowId form, const PictureDesign& design) {
  return AddDrawn(form, [&](DrawnControls& drawn, ControlId id) { drawn.AddPicture(id, design); });
}

ControlId Win32WindowSystem::AddLine(WindowId form, const LineDesign& design) {
  return AddDrawn(form, [&](DrawnControls& drawn, ControlId id) { drawn.AddLine(id, design); });
}

DrawnControls& Win32WindowSystem::drawn(ControlId id) {
  auto it = controls_.find(id);
  if (it == controls_.end()) throw RuntimeError("the control is not loaded");
  const Window& w = window(it->second.form);
  if (it->second.hwnd != nullptr || !w.drawn) throw RuntimeError("the control is not drawn by its window");
  return *w.drawn;
}

void Win32WindowSystem::SetForeColour(ControlId label, Colour colour) { drawn(label).SetForeColour(label, colour); }

LineEnds Win32WindowSystem::Line(ControlId line) { return drawn(line).Line(line); }

void Win32WindowSystem::MoveLine(ControlId line, const LineEnds& ends) { drawn(line).MoveLine(line, ends); }

// Painting, pointer and buttons of a window that draws controls itself;
// nothing leaves the message to the common handling.
std::optional<LRESULT> Win32WindowSystem::OnDrawnMessage(Window& w, UINT msg, WPARAM wparam, LPARAM lparam) {
  const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the paint fills the background itself, off screen
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w.hwnd, &ps);
      if (dc != nullptr) w.drawn->Paint(dc, ps.rcPaint);
      EndPaint(w.hwnd, &ps);
      return 0;
    }
    case WM_SETCURSOR: {
      POINT cursor;
      if (reinterpret_cast<HWND>(wparam) != w.hwnd || LOWORD(lparam) != HTCLIENT || !GetCursorPos(&cursor)) {
        return std::nullopt;
      }
      ScreenToClient(w.hwnd, &cursor);
      HCURSOR pointer = w.drawn->CursorAt(cursor);
      if (pointer == nullptr) return std::nullopt;
      SetCursor(pointer);
      return TRUE;
    }
    case WM_MOUSEMOVE: {
      RECT client;
      GetClientRect(w.hwnd, &client);
      // While a button is held the window sees the pointer outside, too: that is no surface of it.
      if (GetCapture() == w.hwnd && !PtInRect(&client, at)) return 0;
      FormEvents* events = w.events;
      if (const ControlId under = w.drawn->At(at)) {
        events->OnControlMouseMove(under);
      } else {
        events->OnMouseMove(at.x, at.y);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      w.pressed = w.drawn->At(at);
      w.pressed_button = msg == WM_LBUTTONDOWN   ? MouseButton::kLeft
                         : msg == WM_RBUTTONDOWN ? MouseButton::kRight
                                                 : MouseButton::kMiddle;
      if (w.pressed != 0) SetCapture(w.hwnd);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(w, MouseButton::kLeft, at);
      return 0;
    case WM_RBUTTONUP:
      OnButtonUp(w, MouseButton::kRight, at);
      return 0;
    case WM_MBUTTONUP:
      OnButtonUp(w, MouseButton::kMiddle, at);
      return 0;
    case WM_CAPTURECHANGED:
      w.pressed = 0;
      return 0;
    default:
      return std::nullopt;
  }
}

// A click: down and up of one button over the same drawn control.
void Win32WindowSystem::OnButtonUp(Window& w, MouseButton button, POINT at) {
  const ControlId pressed = std::exchange(w.pressed, 0);
  if (GetCapture() == w.hwnd) ReleaseCapture();
  if (pressed == 0 || button != w.pressed_button || w.drawn->At(at) != pressed) return;
  w.events->OnControlMouseClick(pressed, button);  // may unload the window: w is not touched after
}

}  // namespace np
