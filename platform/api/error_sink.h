// Where an error that escapes an event handler ends up.
#pragma once
#include <exception>
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
  // Never throws: it is the last stop of every failed handler.
  virtual void Report(const std::string& what) noexcept = 0;
};

// Every event enters the core through this, so no exception crosses into the
// window procedure and the program keeps running after a failed handler.
template <class Handler>
void RunHandler(ErrorSink& sink, Handler&& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& e) {
    sink.Report(e.what());
  } catch (...) {
    sink.Report("unknown error");
  }
}

}  // namespace np
