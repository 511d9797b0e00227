// A tagged value with the platform's VARIANT type codes, as the registry
// procedures take and deliver their data.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

namespace np {

// The VARIANT type codes (VT_*), kept as plain numbers: only 2, 3 and 8 are
// stored by the registry write, everything else is refused.
namespace vt {
inline constexpr std::uint16_t kEmpty = 0, kNull = 1, kI2 = 2, kI4 = 3, kR4 = 4, kR8 = 5, kCurrency = 6, kDate = 7,
                               kBstr = 8, kDispatch = 9, kError = 10, kBool = 11, kDecimal = 14, kUi1 = 17,
                               kArray = 0x2000;
}

class Variant {
 public:
  Variant() = default;  // empty
  static Variant I2(std::int16_t v) { return Variant(vt::kI2, v, 0.0, {}); }
  static Variant I4(std::int32_t v) { return Variant(vt::kI4, v, 0.0, {}); }
  static Variant Str(std::wstring v) { return Variant(vt::kBstr, 0, 0.0, std::move(v)); }
  static Variant R8(double v) { return Variant(vt::kR8, 0, v, {}); }
  static Variant Bool(bool v) { return Variant(vt::kBool, v ? -1 : 0, 0.0, {}); }
  // A value of any other kind; its content does not matter to the program.
  static Variant OfType(std::uint16_t type) { return Variant(type, 0, 0.0, {}); }

  std::uint16_t Type() const { return type_; }
  // The integer of an I2 or I4 (I2 already sign-extended); 0 for other types.
  std::int32_t Long() const { return static_cast<std::int32_t>(integer_); }
  double Double() const { return real_; }
  const std::wstring& String() const { return text_; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  Variant(std::uint16_t type, std::int64_t integer, double real, std::wstring text)
      : type_(type), integer_(integer), real_(real), text_(std::move(text)) {}

  std::uint16_t type_ = vt::kEmpty;
  std::int64_t integer_ = 0;
  double real_ = 0.0;
  std::wstring text_;
};

}  // namespace np
