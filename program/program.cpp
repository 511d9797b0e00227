// The program's windows and how they find each other.
#include "program/program.h"

namespace np {

bool Program::Start() {
  RunHandler(platform_.errors, [this] { main_ = std::make_unique<frMain>(platform_, FrMainWindows{settings_, about_, pop_}); });
  return main_ != nullptr;
}

}  // namespace np
