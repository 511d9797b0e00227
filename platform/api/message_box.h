// The modal message box.
#pragma once
#include <string>

namespace np {

inline constexpr unsigned kMbOk = 0;  // OK button only, no icon

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Blocks until the user closes the box; returns the button's id.
  virtual int Show(const std::wstring& text, const std::wstring& caption, unsigned type) = 0;
};

}  // namespace np
