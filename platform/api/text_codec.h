// Conversion between the program's wide strings and the ANSI code page of the "A" calls.
#pragma once
#include <string>
#include <string_view>

namespace np {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // Characters the code page cannot hold become the code page's default character.
  virtual std::string ToAnsi(std::wstring_view text) = 0;
  // Every byte, NULs included, yields at least one character; nothing is trimmed.
  virtual std::wstring FromAnsi(std::string_view bytes) = 0;
};

}  // namespace np
