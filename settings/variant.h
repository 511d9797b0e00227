// A tagged value with the platform's VARIANT type codes, as the registry
// procedures take and deliver their data.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

namespace np {

// The VARIANT type codes (VT_*) the program speaks, kept as plain numbers:
// only I2, I4 and strings are stored by the registry write, any other code is
// refused.
namespace vt {
inline constexpr std::uint16_t kEmpty = 0, kI2 = 2, kI4 = 3, kBstr = 8;
}

class Variant {
 public:
  Variant() = default;  // empty
  // A value of the type code `type`. Only a number of an I2 or I4 (an I2 keeps
  // its low 16 bits, sign-extended) and the text of a string are kept: the
  // program reads no other type's value.
  Variant(std::uint16_t type, std::int32_t number, std::wstring text = {})
      : type_(type),
        number_(type == vt::kI2 ? static_cast<std::int16_t>(number) : type == vt::kI4 ? number : 0),
        text_(type == vt::kBstr ? std::move(text) : std::wstring()) {}

  std::uint16_t Type() const { return type_; }
  // The number of an I2 or I4; 0 for other types.
  std::int32_t Long() const { return number_; }
  const std::wstring& String() const { return text_; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::uint16_t type_ = vt::kEmpty;
  std::int32_t number_ = 0;
  std::wstring text_;
};

}  // namespace np
