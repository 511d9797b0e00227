// Handing a document or a link to the program the user registered for it.
#pragma once
#include <cstdint>
#include <string>

namespace np {

inline constexpr int kSwShowNormal = 1;

class Shell {
 public:
  virtual ~Shell() = default;
  // shell32 ShellExecuteA; the texts go to the ANSI code page at the call.
  // Returns the call's result (above 32 for success); never throws.
  virtual std::intptr_t ExecuteA(std::uintptr_t owner, const std::wstring& operation, const std::wstring& file,
                                 const std::wstring& parameters, const std::wstring& directory, int show_command) = 0;
};

}  // namespace np
