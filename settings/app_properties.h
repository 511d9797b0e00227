// The application properties EXEName and Path, derived from the running
// executable's file name each time they are asked for (it is never cached).
#pragma once
#include <string>

#include "platform/api/application.h"

namespace np {

// The folder holding the executable, without a trailing backslash unless it
// is a drive root ("C:\").
std::wstring AppPath(Application& app);
// The executable's file name without folder and extension.
std::wstring AppExeName(Application& app);

}  // namespace np
