// The user's regional settings that the program shows numbers with.
#pragma once
#include <string>

namespace np {

class UserLocale {
 public:
  virtual ~UserLocale() = default;
  // The decimal separator of the user's locale, e.g. "." or ",".
  virtual std::wstring DecimalSeparator() = 0;
};

}  // namespace np
