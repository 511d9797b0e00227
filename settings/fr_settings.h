// frSettings: the Settings window with the autorun check box and the rate
// text box. The Run entry is its only persistent setting, and the box is
// filled from the registry at every creation of the window.
#pragma once
#include "core/form.h"
#include "platform/api/platform.h"

namespace np {

inline constexpr wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class frSettings final : public Form {
 public:
  // Creates the window hidden with its controls, then runs the load step.
  explicit frSettings(Platform& platform);

  const ControlId chkAutoRun;
  const ControlId txtDisp;

 private:
  void Form_Load();
  void chkAutoRun_Click();
  void OnControlClick(ControlId control) override;

  Platform& platform_;
};

}  // namespace np
