// Design layouts are in twips; windows are in pixels of the screen's DPI.
#pragma once

namespace np {

inline constexpr int kTwipsPerInch = 1440;

// Rounded to the nearest pixel, a half away from zero (15 twips a pixel at 96
// DPI, 12 at 120 DPI). Lines keep their ends in fractions of a twip.
constexpr int TwipsToPixels(double twips, int dpi) {
  const double pixels = twips * dpi / kTwipsPerInch;
  return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
}

// A control's area on the screen; right and bottom are outside it.
struct PixelRect {
  int left, top, right, bottom;
  constexpr bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

constexpr PixelRect PixelRectOf(int left_twips, int top_twips, int width_twips, int height_twips, int dpi) {
  const int left = TwipsToPixels(left_twips, dpi), top = TwipsToPixels(top_twips, dpi);
  return {left, top, left + TwipsToPixels(width_twips, dpi), top + TwipsToPixels(height_twips, dpi)};
}

}  // namespace np
