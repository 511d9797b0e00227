// Time as the program sees it: a millisecond clock and the blocking kernel32 Sleep.
#pragma once
#include <cstdint>

namespace np {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; only differences are meaningful.
  virtual std::uint64_t NowMs() = 0;
  // Blocks the calling thread; no message is handled while it lasts.
  virtual void Sleep(std::uint32_t ms) = 0;
};

}  // namespace np
