// Hosts the Settings window on the real Win32 backend, for the tests: the
// product only reaches it through the tray menu and the sampler. Like the
// sampler, a hidden window refers to the Settings window every 100 ms and
// writes into its text box, so a closed window comes back hidden.
#include <windows.h>

#include <string>

#include "runtime/form.h"
#include "program/program.h"
#include "platform/win32/win32_platform.h"

namespace {

class Referrer final : public np::Form {
 public:
  Referrer(np::Platform& platform, np::Program& program)
      : Form(platform.windows, {L"", 100, 100, np::FormKind::kHidden}), program_(program) {
    windows_.StartTimer(Id(), 1, 100);
  }

 private:
  void OnTimer(int) override {
    np::frSettings& settings = program_.Settings().Get();
    windows_.SetText(settings.txtDisp, std::to_wstring(++ticks_));
  }
  np::Program& program_;
  int ticks_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  np::Win32Platform win32(instance);
  np::Program program(win32.platform);
  np::RunHandler(win32.errors, [&] { program.Settings().Show(); });
  Referrer referrer(win32.platform, program);
  return win32.RunMessageLoop();
}
