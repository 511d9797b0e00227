// A single-byte code page for the tests: characters below 256 map to
// themselves, everything else becomes '?', as Windows' default character.
#pragma once
#include "platform/api/text_codec.h"

namespace np {

class FakeTextCodec final : public TextCodec {
 public:
  std::string ToAnsi(std::wstring_view text) override {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(static_cast<unsigned>(c) < 256 ? static_cast<char>(c) : '?');
    return out;
  }
  std::wstring FromAnsi(std::string_view bytes) override {
    std::wstring out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
  }
};

}  // namespace np
