// The program's windows and how they find each other.
#include "core/program.h"

namespace np {

bool Program::Start() {
  RunHandler(platform_.errors, [this] { main_ = std::make_unique<frMain>(platform_); });
  return main_ != nullptr;
}

}  // namespace np
