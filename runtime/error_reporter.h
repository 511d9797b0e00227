// The one error sink of the program: a message box per distinct error, and the
// gate every event passes on its way into the program.
#pragma once
#include <exception>
#include <set>
#include <string>
#include <utility>

#include "platform/api/error_sink.h"
#include "platform/api/message_box.h"
#include "platform/api/text_codec.h"

namespace np {

// Whether the user hears of an error. By default a text is shown once a run: a
// failure that repeats tells nothing new. A thrower that knows more about its
// failure (the disk source monitor) decides for itself.
enum class Telling {
  kOncePerRun,
  kAgain,  // news by its thrower's rule: shown even if the same text was before
  kNot,    // stops the handler only: by its thrower's rule the user knows already
};

// A failure whose thrower decides whether the user hears of it.
class TellingError : public RuntimeError {
 public:
  TellingError(const std::string& what, Telling telling) : RuntimeError(what), telling_(telling) {}
  Telling telling() const { return telling_; }

 private:
  Telling telling_;
};

// A failed handler is reported and the program runs on. A 30 ms timer that
// keeps failing would otherwise bury the user in boxes, so each distinct error
// is shown once per run unless its thrower tells otherwise. One box at a time:
// an error raised while the box is open (its modal loop still delivers timer
// ticks) is not shown at all, and a thrower that must be heard (the disk
// source monitor) waits for a tick after the box.
class ErrorReporter final : public ErrorSink {
 public:
  ErrorReporter(MessageBoxes& boxes, TextCodec& codec, std::wstring caption)
      : boxes_(boxes), codec_(codec), caption_(std::move(caption)) {}

  void Report(const std::string& what) noexcept override { Report(what, Telling::kOncePerRun); }
  void Report(const std::string& what, Telling telling) noexcept;
  // Whether this reporter's own box is open now; no other box counts.
  bool ShowingError() const noexcept { return box_open_; }

 private:
  MessageBoxes& boxes_;
  TextCodec& codec_;
  std::wstring caption_;
  std::set<std::string> shown_;
  bool box_open_ = false;
};

// Every event enters the program through this, so no exception crosses into
// the window procedure and the program keeps running after a failed handler.
template <class Handler>
void RunHandler(ErrorReporter& errors, Handler&& handler) noexcept {
  try {
    handler();
  } catch (const TellingError& e) {
    errors.Report(e.what(), e.telling());
  } catch (const std::exception& e) {
    errors.Report(e.what());
  } catch (...) {
    errors.Report("unknown error");
  }
}

}  // namespace np
