// Wide strings to and from the ANSI code page, at the "A" calls.
#pragma once
#include "platform/api/text_codec.h"

namespace np {

class Win32TextCodec final : public TextCodec {
 public:
  std::string ToAnsi(std::wstring_view text) override;
  std::wstring FromAnsi(std::string_view bytes) override;
};

// The same conversions for the backend's own calls.
std::string ToAnsiCp(std::wstring_view text);
std::wstring FromAnsiCp(std::string_view bytes);

}  // namespace np
