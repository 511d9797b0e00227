// One journal of every platform call the fakes see, with its time, so tests
// can check the order of calls across services.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/api/clock.h"

namespace np {

struct LoggedCall {
  std::uint64_t time_ms;
  std::string what;  // e.g. "keybd_event 145 0 2 0", "Sleep 100"
};

class CallLog {
 public:
  explicit CallLog(Clock& clock) : clock_(clock) {}
  void Add(std::string what) { calls_.push_back({clock_.NowMs(), std::move(what)}); }
  const std::vector<LoggedCall>& Calls() const { return calls_; }
  // Just the descriptions, for compact order checks.
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) out.push_back(c.what);
    return out;
  }
  void Clear() { calls_.clear(); }

 private:
  Clock& clock_;
  std::vector<LoggedCall> calls_;
};

}  // namespace np
