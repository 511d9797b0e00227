// The fake clock: time moves only when the program sleeps or the loop runs.
#include "platform/fake/fake_clock.h"

#include <algorithm>

#include "platform/fake/call_log.h"

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

}  // namespace np
