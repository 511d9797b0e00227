// A clock that only moves when the program sleeps or a test runs the message loop.
#pragma once
#include <cstdint>
#include <functional>
#include <map>

#include "platform/api/clock.h"

namespace np {

class CallLog;

class FakeClock final : public Clock {
 public:
  std::uint64_t NowMs() override { return now_; }
  // Advances time; the outside world's scheduled actions that fall due
  // meanwhile happen, but no window message is handled.
  void Sleep(std::uint32_t ms) override;

  // Something outside the program (the user, another program) acts at time t.
  void At(std::uint64_t t, std::function<void()> action) { actions_.emplace(t, std::move(action)); }
  // Moves time forward to t (never back), running due actions in order.
  void AdvanceTo(std::uint64_t t);

  void SetCallLog(CallLog* log) { log_ = log; }

 private:
  std::uint64_t now_ = 0;
  std::multimap<std::uint64_t, std::function<void()>> actions_;
  CallLog* log_ = nullptr;
};

}  // namespace np
