// The one error sink of the program.
#include "platform/common/error_reporter.h"

namespace np {

namespace {
constexpr unsigned kMbIconExclamation = 0x30;
}

void ErrorReporter::Report(const std::string& what) {
  if (box_open_ || !shown_.insert(what).second) return;
  box_open_ = true;
  boxes_.Show(L"Run-time error: " + codec_.FromAnsi(what), caption_, kMbOk | kMbIconExclamation);
  box_open_ = false;
}

}  // namespace np
