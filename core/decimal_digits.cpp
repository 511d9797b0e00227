// Exact decimal digits of a double: a big integer in base 10^9 limbs.
#include "core/decimal_digits.h"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace np {

namespace {

constexpr std::uint32_t kLimbBase = 1000000000;  // nine decimal digits a limb
constexpr int kMantissaBits = 53;

using BigNumber = std::vector<std::uint32_t>;  // lowest limb first

void Multiply(BigNumber& number, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : number) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product % kLimbBase);
    carry = product / kLimbBase;
  }
  for (; carry != 0; carry /= kLimbBase) number.push_back(static_cast<std::uint32_t>(carry % kLimbBase));
}

// In steps of base^13, the largest power of 5 that a 32-bit factor holds.
void MultiplyByPower(BigNumber& number, std::uint32_t base, int exponent) {
  std::uint32_t step = 1;
  for (int i = 0; i < 13; ++i) step *= base;
  for (; exponent >= 13; exponent -= 13) Multiply(number, step);
  for (; exponent > 0; --exponent) Multiply(number, base);
}

std::string ToText(const BigNumber& number) {
  std::string text = std::to_string(number.back());
  for (auto limb = number.rbegin() + 1; limb != number.rend(); ++limb) {
    const std::string part = std::to_string(*limb);
    text.append(9 - part.size(), '0') += part;
  }
  return text;
}

// Whether the dropped digits (all of them, exact) carry the kept ones up.
bool RoundsUp(std::string_view all, std::size_t kept) {
  const char first_dropped = all[kept];
  if (first_dropped != '5') return first_dropped > '5';
  if (all.find_first_not_of('0', kept + 1) != std::string_view::npos) return true;
  return (all[kept - 1] - '0') % 2 == 1;  // exactly half: to even
}

void AddOneToLast(DecimalDigits& decimal) {
  auto digit = decimal.digits.rbegin();
  for (; digit != decimal.digits.rend() && *digit == '9'; ++digit) *digit = '0';
  if (digit != decimal.digits.rend()) {
    ++*digit;
  } else {  // 99...9 became 100...0: one place more
    decimal.digits.insert(0, 1, '1');
    decimal.digits.pop_back();
    ++decimal.exponent;
  }
}

}  // namespace

DecimalDigits RoundToDigits(double value, int count) {
  int binary_exponent = 0;
  const double fraction = std::frexp(value, &binary_exponent);  // in [0.5, 1)
  const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, kMantissaBits));
  const int power = binary_exponent - kMantissaBits;  // value = mantissa * 2^power
  BigNumber number{static_cast<std::uint32_t>(mantissa % kLimbBase), static_cast<std::uint32_t>(mantissa / kLimbBase)};
  // Below 1 the value is mantissa * 5^-power / 10^-power: still an integer's digits.
  if (power >= 0) {
    MultiplyByPower(number, 2, power);
  } else {
    MultiplyByPower(number, 5, -power);
  }
  const std::string all = ToText(number);
  const int lowest_place = power < 0 ? power : 0;
  const auto kept = static_cast<std::size_t>(count);
  DecimalDigits decimal{all.substr(0, kept), static_cast<int>(all.size()) - 1 + lowest_place};
  decimal.digits.resize(kept, '0');
  if (all.size() > kept && RoundsUp(all, kept)) AddOneToLast(decimal);
  return decimal;
}

}  // namespace np
