// frSettings: the Settings window with the autorun check box and the rate
// text box. The Run entry is its only persistent setting; the box is filled
// from the registry at every creation of the window and after every change.
#pragma once
#include "runtime/form.h"
#include "runtime/platform.h"
#include "settings/registry.h"

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
  void ControlClick(ControlId control) override;
  RegistryContext Registry() const;
  // The Run entry's value name and data for the running executable.
  std::wstring EntryName() const;
  std::wstring EntryCommand(const std::wstring& name) const;
  // Sets the box to what the registry holds without running the click handling.
  void ShowQuietly(int value);

  Platform& platform_;
  bool showing_entry_ = false;
};

}  // namespace np
