// Reading to text and reading to hold.
#include "core/rate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/decimal_digits.h"
#include "platform/api/error_sink.h"

namespace np {

namespace {
constexpr int kSignificantDigits = 15;
constexpr int kSmallestPlainExponent = -5;
}  // namespace

std::wstring RateText(double reading, const std::function<std::wstring()>& separator) {
  if (std::isnan(reading)) return L"NaN";
  if (std::isinf(reading)) return reading > 0 ? L"Infinity" : L"-Infinity";
  if (reading == 0) return L"0";  // -0 too
  auto [digits, exponent] = RoundToDigits(std::fabs(reading), kSignificantDigits);
  digits.erase(digits.find_last_not_of('0') + 1);

  std::wstring text = reading < 0 ? L"-" : L"";
  const std::wstring wide(digits.begin(), digits.end());
  if (exponent < kSmallestPlainExponent || exponent >= kSignificantDigits) {
    text += wide.substr(0, 1);
    if (wide.size() > 1) text += separator() + wide.substr(1);
    // std::to_wstring formats through swprintf, whose code the product would
    // carry for this alone; the narrow one does not.
    const std::string power = std::to_string(std::abs(exponent));
    return text + (exponent < 0 ? L"E-" : L"E+") + std::wstring(power.begin(), power.end());
  }
  if (exponent < 0) return text + L"0" + separator() + std::wstring(-exponent - 1, L'0') + wide;
  const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
  if (wide.size() <= whole) return text + wide + std::wstring(whole - wide.size(), L'0');
  return text + wide.substr(0, whole) + separator() + wide.substr(whole);
}

std::int32_t HoldMs(double reading) {
  if (std::isnan(reading) || reading >= 2147483647.5) throw RuntimeError("the flash length is out of range");
  if (reading <= 0) return 0;
  const auto hold = static_cast<std::int32_t>(std::nearbyint(reading));  // the default rounding: ties to even
  return std::min(hold, kMaxHoldMs);
}

}  // namespace np
