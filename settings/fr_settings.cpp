// frSettings: the Settings window and the machine-wide autorun entry.
#include "settings/fr_settings.h"

#include <utility>

#include "settings/app_properties.h"
#include "settings/registry.h"

namespace np {

namespace {
const FormDesign kSettingsDesign{L"Settings", 2310, 1350, FormKind::kFixedDialog};
constexpr TwipsRect kChkAutoRunRect{240, 240, 1935, 375};
constexpr TwipsRect kTxtDispRect{120, 840, 2055, 285};
}  // namespace

frSettings::frSettings(Platform& platform)
    : Form(platform, kSettingsDesign),
      chkAutoRun(windows_.AddCheckBox(Id(), kChkAutoRunRect, L"Start with Windows?")),
      txtDisp(windows_.AddTextBox(Id(), kTxtDispRect, L"Current Harddisc Activities Rate")),
      platform_(platform) {
  Form_Load();
}

void frSettings::Form_Load() {
  std::wstring name;
  try {
    name = EntryName();
  } catch (const RuntimeError& e) {
    // The load runs inside a disk sample, which must go on: report, leave the box unticked.
    platform_.errors.Report(e.what());
    return;
  }
  Variant scratch;
  // Any entry of that name ticks the box, whatever it holds; the tick's click
  // handling then rewrites it with the current path.
  if (RegReadValueEntry(Registry(), kHkeyLocalMachine, kRunKey, name, scratch) == 0) {
    SetCheckValue(chkAutoRun, 1);
  }
}

void frSettings::ControlClick(ControlId control) {
  if (control == chkAutoRun && !showing_entry_) chkAutoRun_Click();
}

void frSettings::chkAutoRun_Click() {
  const int value = windows_.CheckValue(chkAutoRun);
  std::wstring name;
  try {
    name = EntryName();
  } catch (const RuntimeError&) {
    ShowQuietly(value == 1 ? 0 : 1);  // nothing was written: take the click back
    throw;
  }
  if (value == 1) {
    RegWriteValueEntry(Registry(), kHkeyLocalMachine, kRunKey, name, Variant(vt::kBstr, 0, EntryCommand(name)));
  } else {
    RegDeleteValueEntry(Registry(), kHkeyLocalMachine, kRunKey, name);
  }
  // Neither status tells whether the entry exists (a delete that fails after
  // the open reports 0), so the box shows what a read finds.
  Variant scratch;
  const bool exists = RegReadValueEntry(Registry(), kHkeyLocalMachine, kRunKey, name, scratch) == 0;
  ShowQuietly(exists ? 1 : 0);
}

RegistryContext frSettings::Registry() const { return {platform_.registry, platform_.codec}; }

std::wstring frSettings::EntryName() const {
  std::wstring name = AppExeName(platform_.app);
  // An empty name would address the Run key's default value.
  if (name.empty()) throw RuntimeError("cannot read the program's file name");
  return name;
}

std::wstring frSettings::EntryCommand(const std::wstring& name) const {
  std::wstring command = AppPath(platform_.app) + L"\\" + name + L".exe";
  // Unquoted, "C:\Program Files\x.exe" would first be tried as "C:\Program.exe" at logon.
  if (command.find(L' ') != std::wstring::npos) command = L"\"" + command + L"\"";
  return command;
}

void frSettings::ShowQuietly(int value) {
  showing_entry_ = true;
  try {
    SetCheckValue(chkAutoRun, value);
  } catch (...) {
    showing_entry_ = false;
    throw;
  }
  showing_entry_ = false;
}

}  // namespace np
