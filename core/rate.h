// How the sampler turns a reading (transfers per second) into the text of
// txtDisp and into the length of a flash.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace np {

// The standard conversion of a double to text: at most 15 significant
// digits, no thousands separator, no trailing zeros, no separator for a
// whole number, `separator` between the integer and fraction digits.
// Magnitudes from 1E-5 up to below 1E+15 are written out in full with a
// leading zero below 1 ("0.25"); others take the exponent form
// "1.5E+15" / "2E-7": a sign, then the exponent without leading zeros.
// Not-a-number and infinities read "NaN", "Infinity", "-Infinity".
// `separator` is asked for only when the text has one: the idle "0" and
// every other whole number need no look into the user's locale.
std::wstring RateText(double reading, const std::function<std::wstring()>& separator);

// The longest flash. The program's one thread sleeps through a flash, and a
// fast disk under load counts tens of thousands of transfers a second: held
// for the full rate, the tray menu and the windows would not answer, and
// Scroll Lock would stay inverted, for half a minute and more.
inline constexpr std::int32_t kMaxHoldMs = 1000;

// Milliseconds to hold a flash: the nearest whole number, ties to even, then
// at most kMaxHoldMs. Below zero (minus infinity too) gives 0, never an
// endless wait; NaN, +infinity and 2147483647.5 or more do not fit a hold and
// throw RuntimeError.
std::int32_t HoldMs(double reading);

}  // namespace np
