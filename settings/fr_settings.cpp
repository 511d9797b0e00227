// frSettings: the Settings window and the machine-wide autorun entry.
#include "settings/fr_settings.h"

#include "settings/app_properties.h"
#include "settings/registry.h"

namespace np {

namespace {
const FormDesign kSettingsDesign{L"Settings", 2310, 1350, FormKind::kFixedDialog};
constexpr TwipsRect kChkAutoRunRect{240, 240, 1935, 375};
constexpr TwipsRect kTxtDispRect{120, 840, 2055, 285};
}  // namespace

frSettings::frSettings(Platform& platform)
    : Form(platform.windows, kSettingsDesign),
      chkAutoRun(windows_.AddCheckBox(Id(), kChkAutoRunRect, L"Start with Windows?")),
      txtDisp(windows_.AddTextBox(Id(), kTxtDispRect, L"Current Harddisc Activities Rate")),
      platform_(platform) {
  Form_Load();
}

void frSettings::Form_Load() {
  Variant scratch;
  const RegistryContext reg{platform_.registry, platform_.codec};
  // Any entry of that name ticks the box, whatever it holds; the tick's click
  // handling then rewrites it with the current path.
  if (RegReadValueEntry(reg, kHkeyLocalMachine, kRunKey, AppExeName(platform_.app), scratch) == 0) {
    windows_.SetCheckValue(chkAutoRun, 1);
  }
}

void frSettings::OnControlClick(ControlId control) {
  if (control == chkAutoRun) chkAutoRun_Click();
}

void frSettings::chkAutoRun_Click() {
  const RegistryContext reg{platform_.registry, platform_.codec};
  if (windows_.CheckValue(chkAutoRun) == 1) {
    const std::wstring data = AppPath(platform_.app) + L"\\" + AppExeName(platform_.app) + L".exe";
    const std::int32_t status =
        RegWriteValueEntry(reg, kHkeyLocalMachine, kRunKey, AppExeName(platform_.app), Variant::Str(data));
    // Without the rights to write the machine-wide key, a ticked box would
    // claim an entry that does not exist. Unticking runs this handler again,
    // whose delete then fails just as harmlessly.
    if (status != 0) windows_.SetCheckValue(chkAutoRun, 0);
  } else {
    RegDeleteValueEntry(reg, kHkeyLocalMachine, kRunKey, AppExeName(platform_.app));
  }
}

}  // namespace np
