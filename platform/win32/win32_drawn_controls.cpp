// Labels, pictures and lines that a window draws and hit-tests itself.
#include "platform/win32/win32_drawn_controls.h"

#include <algorithm>

#include "platform/common/twips.h"
#include "platform/win32/win32_text_codec.h"

namespace np {

namespace {

COLORREF ToColorRef(Colour colour) {
  if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFFu));
  return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// Selects an object into a DC for one scope and puts the old one back.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

DrawnControls::DrawnControls(HINSTANCE instance, HWND window, WindowTooltip& tooltip, int dpi)
    : instance_(instance), window_(window), tooltip_(tooltip), dpi_(dpi) {}

DrawnControls::~DrawnControls() {
  for (auto& font : fonts_) DeleteObject(font.second);
  for (HBITMAP bitmap : bitmaps_) DeleteObject(bitmap);
  for (auto& cursor : cursors_) DestroyCursor(cursor.second);
}

HFONT DrawnControls::Font(const FontDesign& design) {
  for (const auto& [known, font] : fonts_) {
    if (known == design) return font;
  }
  HFONT font = CreateFontA(-MulDiv(design.points, dpi_, 72), 0, 0, 0, design.weight, FALSE, design.underline, FALSE,
                           design.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, ToAnsiCp(design.face).c_str());
  if (font == nullptr) throw RuntimeError("cannot create a font");
  fonts_.emplace_back(design, font);
  return font;
}

HCURSOR DrawnControls::Cursor(int resource) {
  if (resource == 0) return nullptr;
  for (const auto& [known, cursor] : cursors_) {
    if (known == resource) return cursor;
  }
  // Its own copy at the file's size (not LR_SHARED), so it can be destroyed with the window.
  auto* cursor = static_cast<HCURSOR>(LoadImageA(instance_, MAKEINTRESOURCEA(resource), IMAGE_CURSOR, 0, 0, 0));
  if (cursor == nullptr) throw RuntimeError("cannot load a mouse pointer");
  cursors_.emplace_back(resource, cursor);
  return cursor;
}

void DrawnControls::AddLabel(ControlId id, const LabelDesign& d) {
  const RECT bounds = ToRect(PixelRectOf(d.rect.left, d.rect.top, d.rect.width, d.rect.height, dpi_));
  HFONT font = Font(d.font);
  HCURSOR cursor = Cursor(d.pointer_resource);
  items_.push_back({id, bounds, cursor, Label{d, ToAnsiCp(d.caption), font}});
  tooltip_.AddArea(id, bounds, d.tooltip);
}

// Shown unscaled: the control takes the bitmap's size, whatever the DPI.
void DrawnControls::AddPicture(ControlId id, const PictureDesign& d) {
  auto* bitmap = static_cast<HBITMAP>(
      LoadImageA(instance_, MAKEINTRESOURCEA(d.bitmap_resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    throw RuntimeError("cannot load the picture");
  }
  bitmaps_.push_back(bitmap);
  const int left = TwipsToPixels(d.rect.left, dpi_), top = TwipsToPixels(d.rect.top, dpi_);
  const RECT bounds{left, top, left + info.bmWidth, top + info.bmHeight};
  items_.push_back({id, bounds, Cursor(d.pointer_resource), Picture{bitmap}});
  tooltip_.AddArea(id, bounds, d.tooltip);
}

void DrawnControls::AddLine(ControlId id, const LineDesign& d) { items_.push_back({id, LineBounds(d), nullptr, d}); }

DrawnControls::Item& DrawnControls::Find(ControlId id) {
  auto it = std::find_if(items_.begin(), items_.end(), [id](const Item& item) { return item.id == id; });
  if (it == items_.end()) throw RuntimeError("the control is not loaded");
  return *it;
}

void DrawnControls::SetForeColour(ControlId id, Colour colour) {
  Item& item = Find(id);
  auto* label = std::get_if<Label>(&item.what);
  if (label == nullptr) throw RuntimeError("the control is not a label");
  if (label->design.fore_colour == colour) return;  // repaint only what changed
  label->design.fore_colour = colour;
  InvalidateRect(window_, &item.bounds, FALSE);
}

LineEnds DrawnControls::Line(ControlId id) {
  auto* line = std::get_if<LineDesign>(&Find(id).what);
  if (line == nullptr) throw RuntimeError("the control is not a line");
  return line->ends;
}

void DrawnControls::MoveLine(ControlId id, const LineEnds& ends) {
  Item& item = Find(id);
  auto* line = std::get_if<LineDesign>(&item.what);
  if (line == nullptr) throw RuntimeError("the control is not a line");
  InvalidateRect(window_, &item.bounds, FALSE);
  line->ends = ends;
  item.bounds = LineBounds(*line);
  InvalidateRect(window_, &item.bounds, FALSE);
}

int DrawnControls::Pixels(float twips) const {
  return TwipsToPixels(twips, dpi_);
}

// What the pen covers, round ends included.
RECT DrawnControls::LineBounds(const LineDesign& line) const {
  const int x1 = Pixels(line.ends.x1), x2 = Pixels(line.ends.x2);
  const int y1 = Pixels(line.ends.y1), y2 = Pixels(line.ends.y2);
  const int reach = line.width_pixels / 2 + 2;
  return {std::min(x1, x2) - reach, std::min(y1, y2) - reach, std::max(x1, x2) + reach, std::max(y1, y2) + reach};
}

ControlId DrawnControls::At(POINT point) const {
  const auto hit = std::find_if(items_.rbegin(), items_.rend(), [point](const Item& item) {
    return !std::holds_alternative<LineDesign>(item.what) && PtInRect(&item.bounds, point);
  });
  return hit == items_.rend() ? 0 : hit->id;
}

HCURSOR DrawnControls::CursorAt(POINT point) const {
  const ControlId id = At(point);
  const auto item = std::find_if(items_.begin(), items_.end(), [id](const Item& i) { return i.id == id; });
  return item == items_.end() ? nullptr : item->cursor;
}

// Drawn straight to the screen, the background would show between the
// erase and the controls at every animation step.
void DrawnControls::Paint(HDC dc, const RECT& update) const {
  const int width = update.right - update.left, height = update.bottom - update.top;
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP buffer = memory != nullptr ? CreateCompatibleBitmap(dc, width, height) : nullptr;
  if (buffer == nullptr) {
    Draw(dc, update);  // short of memory: flicker rather than nothing
  } else {
    Selected selected(memory, buffer);
    SetViewportOrgEx(memory, -update.left, -update.top, nullptr);
    Draw(memory, update);
    BitBlt(dc, update.left, update.top, width, height, memory, update.left, update.top, SRCCOPY);
  }
  if (buffer != nullptr) DeleteObject(buffer);
  if (memory != nullptr) DeleteDC(memory);
}

void DrawnControls::Draw(HDC dc, const RECT& update) const {
  FillRect(dc, &update, GetSysColorBrush(COLOR_BTNFACE));
  for (const Item& item : items_) {
    RECT overlap;
    if (IntersectRect(&overlap, &item.bounds, &update)) DrawItem(dc, item);
  }
}

void DrawnControls::DrawItem(HDC dc, const Item& item) const {
  if (const auto* label = std::get_if<Label>(&item.what)) {
    const LabelDesign& d = label->design;
    SetDCBrushColor(dc, ToColorRef(d.back_colour));
    FillRect(dc, &item.bounds, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    Selected font(dc, label->font);
    SetTextColor(dc, ToColorRef(d.fore_colour));
    SetBkMode(dc, TRANSPARENT);
    RECT box = item.bounds;
    const UINT align = d.alignment == Alignment::kCentre ? DT_CENTER : DT_LEFT;
    DrawTextA(dc, label->text.c_str(), -1, &box, align | DT_WORDBREAK | DT_NOPREFIX);
  } else if (const auto* picture = std::get_if<Picture>(&item.what)) {
    HDC source = CreateCompatibleDC(dc);
    if (source == nullptr) return;
    {
      Selected bitmap(source, picture->bitmap);
      BitBlt(dc, item.bounds.left, item.bounds.top, item.bounds.right - item.bounds.left,
             item.bounds.bottom - item.bounds.top, source, 0, 0, SRCCOPY);
    }
    DeleteDC(source);
  } else if (const auto* line = std::get_if<LineDesign>(&item.what)) {
    HPEN pen = CreatePen(PS_SOLID, line->width_pixels, ToColorRef(line->colour));
    if (pen == nullptr) return;
    {
      Selected selected(dc, pen);
      MoveToEx(dc, Pixels(line->ends.x1), Pixels(line->ends.y1), nullptr);
      LineTo(dc, Pixels(line->ends.x2), Pixels(line->ends.y2));
    }
    DeleteObject(pen);
  }
}

}  // namespace np
