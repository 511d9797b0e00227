// The one error sink of the program.
#include "runtime/error_reporter.h"

namespace np {

namespace {
constexpr unsigned kMbIconExclamation = 0x30;
}

void ErrorReporter::Report(const std::string& what, Telling telling) noexcept {
  if (box_open_ || telling == Telling::kNot) return;
  try {
    if (!shown_.insert(what).second && telling != Telling::kAgain) return;
  } catch (...) {
    return;  // no memory to remember it: nothing better to do
  }
  box_open_ = true;
  try {
    boxes_.Show(L"Run-time error: " + codec_.FromAnsi(what), caption_, kMbOk | kMbIconExclamation);
  } catch (...) {
    shown_.erase(what);  // the user never saw it; the next occurrence tries again
  }
  box_open_ = false;
}

}  // namespace np
