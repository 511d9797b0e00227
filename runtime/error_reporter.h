// The one error sink of the program: a message box per distinct error.
#pragma once
#include <set>
#include <string>
#include <utility>

#include "platform/api/error_sink.h"
#include "platform/api/message_box.h"
#include "platform/api/text_codec.h"

namespace np {

// A failed handler is reported and the program runs on. A 30 ms timer that
// keeps failing would otherwise bury the user in boxes, so each distinct error
// is shown once per run unless its thrower tells otherwise, and errors raised
// while a box is open (its modal loop still delivers timer ticks) are not shown
// at all.
class ErrorReporter final : public ErrorSink {
 public:
  ErrorReporter(MessageBoxes& boxes, TextCodec& codec, std::wstring caption)
      : boxes_(boxes), codec_(codec), caption_(std::move(caption)) {}

  using ErrorSink::Report;
  void Report(const std::string& what, Telling telling) noexcept override;
  bool Showing() const noexcept override { return box_open_; }

 private:
  MessageBoxes& boxes_;
  TextCodec& codec_;
  std::wstring caption_;
  std::set<std::string> shown_;
  bool box_open_ = false;
};

}  // namespace np
