// Wide strings to and from the ANSI code page (CP_ACP).
#include "platform/win32/win32_text_codec.h"

#include <windows.h>

namespace np {

std::string ToAnsiCp(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::wstring FromAnsiCp(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(chars > 0 ? chars : 0), L'\0');
  if (chars > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, out.data(), chars);
  return out;
}

std::string Win32TextCodec::ToAnsi(std::wstring_view text) { return ToAnsiCp(text); }
std::wstring Win32TextCodec::FromAnsi(std::string_view bytes) { return FromAnsiCp(bytes); }

}  // namespace np
