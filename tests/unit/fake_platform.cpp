// The fake platform's message loop.
#include "tests/unit/fake_platform.h"

namespace np {

FakePlatform::FakePlatform() {
  clock.SetCallLog(&log);
  registry.SetCallLog(&log);
}

void FakePlatform::RunFor(std::uint64_t ms) {
  windows.RunUntil(clock.NowMs() + ms, [this] { return app.Ended(); });
}

}  // namespace np
