// The error a failed platform call throws, and where a backend sends a failure
// it survives.
#pragma once
#include <stdexcept>
#include <string>

namespace np {

// A failed platform call inside a handler. Thrown, it stops the handler at that
// step; destructors release what the handler held.
class RuntimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  // A failure that leaves the program working (a window without its
  // tooltip), for the user to hear of once a run. Never throws.
  virtual void Report(const std::string& what) noexcept = 0;
};

}  // namespace np
