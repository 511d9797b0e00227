// Where an error that escapes an event handler ends up.
#pragma once
#include <exception>
#include <stdexcept>
#include <string>

namespace np {

// Whether the user hears of an error. By default a text is shown once a run: a
// failure that repeats tells nothing new. A thrower that knows more about its
// failure (the disk source monitor) decides for itself.
enum class Telling {
  kOncePerRun,
  kAgain,  // news by its thrower's rule: shown even if the same text was before
  kNot,    // stops the handler only: by its thrower's rule the user knows already
};

// A failed platform call inside a handler. Thrown, it stops the handler at that
// step; destructors release what the handler held.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(const std::string& what, Telling telling = Telling::kOncePerRun)
      : std::runtime_error(what), telling_(telling) {}
  Telling telling() const { return telling_; }

 private:
  Telling telling_;
};

class ErrorSink {
 public:
  virtual ~ErrorSink() = default;
  // Shows the error as `telling` says. Never throws: it is the last stop of
  // every failed handler.
  virtual void Report(const std::string& what, Telling telling) noexcept = 0;
  void Report(const std::string& what) noexcept { Report(what, Telling::kOncePerRun); }
  // Whether a report now would go unseen: one box at a time, and one is open.
  virtual bool Showing() const noexcept = 0;
};

// Every event enters the core through this, so no exception crosses into the
// window procedure and the program keeps running after a failed handler.
template <class Handler>
void RunHandler(ErrorSink& sink, Handler&& handler) noexcept {
  try {
    handler();
  } catch (const RuntimeError& e) {
    sink.Report(e.what(), e.telling());
  } catch (const std::exception& e) {
    sink.Report(e.what());
  } catch (...) {
    sink.Report("unknown error");
  }
}

}  // namespace np
