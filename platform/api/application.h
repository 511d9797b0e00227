// The running application: instance rule, module file name, icon, end of process.
#pragma once
#include <cstdint>
#include <string>

namespace np {

class Application {
 public:
  virtual ~Application() = default;
  // True when another instance of this program already runs.
  virtual bool PrevInstance() = 0;
  // Full path of the running executable, read afresh at each call.
  virtual std::wstring ModuleFileName() = 0;
  // Ends the process at once; windows close without their own close handling.
  // Callers do nothing after it.
  virtual void EndProcess() = 0;
};

}  // namespace np
