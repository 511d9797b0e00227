// The controls a window draws itself (labels, pictures, lines): their GDI
// objects, their flicker-free painting, and which of them lies under a point.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/api/window_system.h"
#include "platform/win32/win32_tooltip.h"

namespace np {

class DrawnControls {
 public:
  // `tooltip` is the window's, shared with its child controls.
  DrawnControls(HINSTANCE instance, HWND window, WindowTooltip& tooltip, int dpi);
  // Frees every font, bitmap and cursor; the tooltip window goes with its owner.
  ~DrawnControls();
  DrawnControls(const DrawnControls&) = delete;
  DrawnControls& operator=(const DrawnControls&) = delete;

  // Each throws RuntimeError when a font or resource cannot be had.
  void AddLabel(ControlId id, const LabelDesign& design);
  void AddPicture(ControlId id, const PictureDesign& design);
  void AddLine(ControlId id, const LineDesign& design);
  // These throw RuntimeError for an id of another kind.
  void SetForeColour(ControlId id, Colour colour);
  LineEnds Line(ControlId id);
  void MoveLine(ControlId id, const LineEnds& ends);

  // The label or picture under a client point (the last created on top), or 0.
  ControlId At(POINT point) const;
  // The pointer of the control under a client point, or nullptr for the arrow.
  HCURSOR CursorAt(POINT point) const;
  // Background and controls of the update rectangle, composed off screen.
  void Paint(HDC dc, const RECT& update) const;

 private:
  struct Label {
    LabelDesign design;
    std::string text;  // the caption in the ANSI code page, converted once
    HFONT font;
  };
  struct Picture {
    HBITMAP bitmap;
  };
  struct Item {
    ControlId id;
    RECT bounds;
    HCURSOR cursor;
    std::variant<Label, Picture, LineDesign> what;
  };

  Item& Find(ControlId id);
  HFONT Font(const FontDesign& design);
  HCURSOR Cursor(int resource);
  int Pixels(float twips) const;
  RECT LineBounds(const LineDesign& line) const;
  void Draw(HDC dc, const RECT& update) const;
  void DrawItem(HDC dc, const Item& item) const;

  HINSTANCE instance_;
  HWND window_;
  WindowTooltip& tooltip_;
  int dpi_;
  std::vector<Item> items_;
  std::vector<std::pair<FontDesign, HFONT>> fonts_;
  std::vector<std::pair<int, HCURSOR>> cursors_;
  std::vector<HBITMAP> bitmaps_;
};

}  // namespace np
