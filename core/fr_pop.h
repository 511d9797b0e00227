// frPop: the hidden, empty window the tray menu is shown from. Created on the
// first right-button release, never shown, living until the process ends.
#pragma once
#include "runtime/form.h"

namespace np {

class frPop final : public Form {
 public:
  explicit frPop(Platform& platform) : Form(platform, {L"", 4680, 3195, FormKind::kHidden}) {}
};

}  // namespace np
