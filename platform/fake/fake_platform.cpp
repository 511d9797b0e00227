// The fake clock and the fake platform's message loop.
#include "platform/fake/fake_platform.h"

#include <algorithm>

namespace np {

void FakeClock::Sleep(std::uint32_t ms) {
  if (log_ != nullptr) log_->Add("Sleep " + std::to_string(ms));
  AdvanceTo(now_ + ms);
}

void FakeClock::AdvanceTo(std::uint64_t t) {
  while (!actions_.empty() && actions_.begin()->first <= t) {
    auto node = actions_.extract(actions_.begin());
    now_ = std::max(now_, node.key());
    node.mapped()();
  }
  now_ = std::max(now_, t);
}

FakePlatform::FakePlatform() {
  clock.SetCallLog(&log);
  registry.SetCallLog(&log);
}

void FakePlatform::RunFor(std::uint64_t ms) {
  windows.RunUntil(clock.NowMs() + ms, [this] { return app.Ended(); });
}

}  // namespace np
