// Reading to text and reading to hold.
#include "core/rate.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/api/error_sink.h"

namespace np {

namespace {
constexpr int kSignificantDigits = 15;
constexpr int kSmallestPlainExponent = -5;
}  // namespace

std::wstring RateText(double reading, std::wstring_view separator) {
  if (std::isnan(reading)) return L"NaN";
  if (std::isinf(reading)) return reading > 0 ? L"Infinity" : L"-Infinity";
  if (reading == 0) return L"0";  // -0 too
  // "d.dddddddddddddde+x": the rounded significant digits and the exponent.
  char buffer[40];
  (void)std::snprintf(buffer, sizeof buffer, "%.*e", kSignificantDigits - 1, std::fabs(reading));
  std::string digits(1, buffer[0]);
  digits.append(buffer + 2, kSignificantDigits - 1);
  const auto exponent = static_cast<int>(std::strtol(buffer + kSignificantDigits + 2, nullptr, 10));
  digits.erase(digits.find_last_not_of('0') + 1);

  std::wstring text = reading < 0 ? L"-" : L"";
  const std::wstring wide(digits.begin(), digits.end());
  if (exponent < kSmallestPlainExponent || exponent >= kSignificantDigits) {
    text += wide.substr(0, 1);
    if (wide.size() > 1) text += std::wstring(separator) + wide.substr(1);
    return text + (exponent < 0 ? L"E-" : L"E+") + std::to_wstring(std::abs(exponent));
  }
  if (exponent < 0) return text + L"0" + std::wstring(separator) + std::wstring(-exponent - 1, L'0') + wide;
  const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
  if (wide.size() <= whole) return text + wide + std::wstring(whole - wide.size(), L'0');
  return text + wide.substr(0, whole) + std::wstring(separator) + wide.substr(whole);
}

std::int32_t HoldMs(double reading) {
  if (std::isnan(reading) || reading >= 2147483647.5) throw RuntimeError("the flash length is out of range");
  if (reading <= 0) return 0;
  return static_cast<std::int32_t>(std::nearbyint(reading));  // the default rounding: ties to even
}

}  // namespace np
