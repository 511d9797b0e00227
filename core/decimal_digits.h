// A double's significant decimal digits, rounded exactly. printf's "%e" does
// the same, but brings about 25 KB of code into the Windows executable.
#pragma once
#include <string>

namespace np {

struct DecimalDigits {
  std::string digits;  // exactly the digits asked for, the first not 0
  int exponent;        // the value is d.ddd... times ten to this
};

// `value` (positive and finite) rounded to `count` (1 or more) significant
// digits, half to even on its exact binary value, as printf("%.*e", count - 1).
DecimalDigits RoundToDigits(double value, int count);

}  // namespace np
