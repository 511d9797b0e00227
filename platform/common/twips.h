// Design layouts are in twips; windows are in pixels of the screen's DPI.
#pragma once

namespace np {

inline constexpr int kTwipsPerInch = 1440;

// Rounded to the nearest pixel (15 twips a pixel at 96 DPI, 12 at 120 DPI).
constexpr int TwipsToPixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch : -((-scaled + half) / kTwipsPerInch));
}

}  // namespace np
