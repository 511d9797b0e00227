// Top-level windows with their few controls and timers, as the core's windows need them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace np {

using WindowId = std::uint32_t;   // 0 is no window
using ControlId = std::uint32_t;  // unique across all windows; 0 is no control

// Layouts are in twips; the backend turns them into pixels through the
// screen's twips per pixel (1440 / DPI).
struct TwipsRect {
  int left, top, width, height;
};

enum class FormKind {
  kHidden,       // never shown, no taskbar button; hosts timers and callbacks
  kFixedDialog,  // fixed single border, title bar and close box, centred on the screen
};

// 0x00BBGGRR, or 0x800000nn for the system colour number nn.
using Colour = std::uint32_t;
inline constexpr Colour kSysWindowText = 0x80000008;
inline constexpr Colour kSysActiveBorder = 0x8000000A;
inline constexpr Colour kSysHighlight = 0x8000000D;
inline constexpr Colour kSysButtonFace = 0x8000000F;
inline constexpr Colour kSysButtonText = 0x80000012;

inline constexpr std::uint8_t kAnsiCharset = 0;

struct FontDesign {
  std::wstring face;
  int points;
  int weight;  // 400 normal, 700 bold
  bool underline;
  std::uint8_t charset;
  bool operator==(const FontDesign&) const = default;
};

enum class Alignment { kLeft, kCentre };

// A label is drawn and hit-tested by its window; it has no window of its own.
// The pointer resource is a cursor in the executable; 0 keeps the arrow.
struct LabelDesign {
  TwipsRect rect;
  std::wstring caption;
  FontDesign font;
  Alignment alignment = Alignment::kLeft;
  Colour fore_colour = kSysButtonText;
  Colour back_colour = kSysButtonFace;  // labels paint their background
  int pointer_resource = 0;
  std::wstring tooltip{};
};

// A bitmap resource shown unscaled at the rect's top-left corner; the control
// takes the bitmap's own size.
struct PictureDesign {
  TwipsRect rect;
  int bitmap_resource;
  int pointer_resource = 0;
  std::wstring tooltip{};
};

// A line's end points in twips, single precision as the line stores them.
struct LineEnds {
  float x1, y1, x2, y2;
};

// A solid line, drawn by its window; the pointer over it is over the window.
struct LineDesign {
  LineEnds ends{};
  int width_pixels = 1;
  Colour colour = kSysWindowText;
};

enum class MouseButton { kLeft, kRight, kMiddle };

struct FormDesign {
  std::wstring caption;
  int client_width_twips;
  int client_height_twips;
  FormKind kind;
};

// One entry of a popup menu; the caption "-" makes a separator line.
struct MenuItem {
  int id;
  std::wstring caption;
};

// What a window reports to its owner above. None throws: the backend calls
// them straight from its window procedure.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void OnTimer(int /*timer_id*/) noexcept {}
  // Pixel coordinates from the message; the tray callback arrives this way too.
  virtual void OnMouseMove(int /*x*/, int /*y*/) noexcept {}
  // After every change of a check box's value, by the user or by the program.
  virtual void OnControlClick(ControlId /*control*/) noexcept {}
  // The pointer moved over a label or picture; over anything else of the
  // window, OnMouseMove is called instead.
  virtual void OnControlMouseMove(ControlId /*control*/) noexcept {}
  // A button went down and up again over the same label or picture.
  virtual void OnControlMouseClick(ControlId /*control*/, MouseButton /*button*/) noexcept {}
  // The user closed the window; it and its controls are already gone.
  virtual void OnUserClosed() noexcept {}
  // The shell's notification area was (re)created, e.g. after Explorer restarted.
  virtual void OnShellRestarted() noexcept {}
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Creates the window hidden, with the application icon. Throws RuntimeError.
  virtual WindowId CreateForm(const FormDesign& design, FormEvents& events) = 0;
  // Unloads the window; its controls and timers go with it. Unknown ids are ignored.
  virtual void DestroyForm(WindowId form) = 0;
  // Shows the window modeless and without owner.
  virtual void ShowForm(WindowId form) = 0;
  // The native window handle and the numeric handle of its icon; the icon
  // throws RuntimeError when the application icon could not be loaded.
  virtual std::uintptr_t Handle(WindowId form) = 0;
  virtual std::uintptr_t IconHandle(WindowId form) = 0;
  virtual void StartTimer(WindowId form, int timer_id, std::uint32_t interval_ms) = 0;
  virtual void StopTimer(WindowId form, int timer_id) = 0;
  // Controls take the tab order of their creation. Both throw RuntimeError.
  virtual ControlId AddCheckBox(WindowId form, const TwipsRect& rect, const std::wstring& caption) = 0;
  virtual ControlId AddTextBox(WindowId form, const TwipsRect& rect, const std::wstring& tooltip) = 0;
  // Check box values: 0 unticked, 1 ticked, 2 greyed. Setting raises no
  // OnControlClick: that is for the user's clicks.
  virtual int CheckValue(ControlId box) = 0;
  virtual void SetCheckValue(ControlId box, int value) = 0;
  virtual std::wstring Text(ControlId control) = 0;
  virtual void SetText(ControlId control, const std::wstring& text) = 0;

  // Drawn controls, painted in the order of their creation. Each window frees
  // the fonts, bitmaps and cursors of its controls when it is destroyed. All
  // throw RuntimeError.
  virtual ControlId AddLabel(WindowId form, const LabelDesign& design) = 0;
  virtual ControlId AddPicture(WindowId form, const PictureDesign& design) = 0;
  virtual ControlId AddLine(WindowId form, const LineDesign& design) = 0;
  // Repaints the label only when the colour differs from the one it has.
  virtual void SetForeColour(ControlId label, Colour colour) = 0;
  virtual LineEnds Line(ControlId line) = 0;
  virtual void MoveLine(ControlId line, const LineEnds& ends) = 0;
  // user32 SetForegroundWindow; its result is not looked at.
  virtual void SetForegroundWindow(WindowId form) = 0;
  // Shows the items as a popup menu from `host` at the pointer, left edge at
  // the pointer, reacting to the left button, `default_id` drawn bold. Returns
  // once the menu has closed: the chosen item's id, or 0 when it was dismissed.
  virtual int PopupMenu(WindowId host, const std::vector<MenuItem>& items, int default_id) = 0;
};

}  // namespace np
