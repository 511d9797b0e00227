// The Settings window: its layout, the autorun box filled from the Run entry
// at every creation, and the entry written, rewritten and deleted by the box.
#include "settings/fr_settings.h"

#include <gtest/gtest.h>

#include "core/program.h"
#include "platform/fake/fake_platform.h"

namespace np {
namespace {

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

const StoredValue kCurrentEntry{kRegSz, Sz("C:\\Program Files\\Norvane\\pellumin.exe")};

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { fake.registry.CreateKey(kHkeyLocalMachine, kRunKey); }

  std::optional<StoredValue> Entry() const { return fake.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin"); }
  int Box() { return fake.windows.CheckValue(program.Settings().Get().chkAutoRun); }
  std::size_t Writes() const {
    std::size_t n = 0;
    for (const auto& call : fake.log.Calls()) n += call.what.rfind("RegSetValueExA", 0) == 0;
    return n;
  }
  void TearDown() override {
    EXPECT_EQ(fake.registry.OpenHandleCount(), 0u);
    EXPECT_TRUE(fake.boxes.Shown().empty()) << "registry outcomes are never shown";
  }

  FakePlatform fake;
  Program program{fake.platform};
};

TEST_F(SettingsTest, WindowIsCreatedHiddenWithItsTwoControls) {
  frSettings& settings = program.Settings().Get();
  const FakeForm* form = fake.windows.Find(settings.Id());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->design.caption, L"Settings");
  EXPECT_EQ(form->design.client_width_twips, 2310);
  EXPECT_EQ(form->design.client_height_twips, 1350);
  EXPECT_EQ(form->design.kind, FormKind::kFixedDialog);
  EXPECT_FALSE(form->visible);

  const FakeControl& box = fake.windows.Control(settings.chkAutoRun);
  EXPECT_EQ(box.kind, ControlKind::kCheckBox);
  EXPECT_EQ(box.caption, L"Start with Windows?");
  EXPECT_EQ((std::array{box.rect.left, box.rect.top, box.rect.width, box.rect.height}),
            (std::array{240, 240, 1935, 375}));
  EXPECT_EQ(box.tab_index, 0);
  const FakeControl& text = fake.windows.Control(settings.txtDisp);
  EXPECT_EQ(text.kind, ControlKind::kTextBox);
  EXPECT_EQ(text.tooltip, L"Current Harddisc Activities Rate");
  EXPECT_EQ((std::array{text.rect.left, text.rect.top, text.rect.width, text.rect.height}),
            (std::array{120, 840, 2055, 285}));
  EXPECT_EQ(text.tab_index, 1);
  EXPECT_EQ(text.text, L"");
}

TEST_F(SettingsTest, NoEntryLeavesTheBoxUntickedAndWritesNothing) {
  EXPECT_EQ(Box(), 0);
  EXPECT_EQ(Writes(), 0u);
  EXPECT_FALSE(Entry());
}

TEST_F(SettingsTest, AnyExistingEntryTicksTheBoxAndIsRewrittenWithTheCurrentPath) {
  const StoredValue found[] = {
      {kRegSz, Sz("D:\\Old place\\pellumin.exe")},        {kRegSz, Sz("")},           {kRegDword, {1, 0, 0, 0}},
      {kRegExpandSz, Sz("%ProgramFiles%\\pellumin.exe")}, {kRegBinary, {0xde, 0xad}},
  };
  for (const StoredValue& value : found) {
    FakePlatform fresh;
    fresh.registry.CreateKey(kHkeyLocalMachine, kRunKey);
    fresh.registry.SetValue(kHkeyLocalMachine, kRunKey, L"PELLUMIN", value.type, value.bytes);
    Program p(fresh.platform);
    EXPECT_EQ(fresh.windows.CheckValue(p.Settings().Get().chkAutoRun), 1) << value.type;
    EXPECT_EQ(fresh.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin"), kCurrentEntry) << value.type;
    EXPECT_EQ(fresh.registry.ValueCount(kHkeyLocalMachine, kRunKey), 1u);
  }
}

TEST_F(SettingsTest, TickingWritesTheEntryAndUntickingDeletesIt) {
  const ControlId box = program.Settings().Get().chkAutoRun;
  fake.windows.UserClick(box);
  EXPECT_EQ(Entry(), kCurrentEntry);
  EXPECT_EQ(Box(), 1);
  fake.windows.UserClick(box);
  EXPECT_FALSE(Entry());
  EXPECT_EQ(Box(), 0);
  fake.windows.SetCheckValue(box, 2);  // greyed counts as off
  EXPECT_FALSE(Entry());
}

TEST_F(SettingsTest, UntickingWithoutAnEntryChangesNothing) {
  const ControlId box = program.Settings().Get().chkAutoRun;
  fake.windows.SetCheckValue(box, 2);
  fake.windows.SetCheckValue(box, 0);
  EXPECT_EQ(fake.registry.ValueCount(kHkeyLocalMachine, kRunKey), 0u);
}

TEST_F(SettingsTest, AWriteThatFailsUnticksTheBoxAgain) {
  fake.registry.SetReadOnly(kHkeyLocalMachine, kRunKey);  // a user who is not elevated
  fake.windows.UserClick(program.Settings().Get().chkAutoRun);
  EXPECT_EQ(Box(), 0);
  EXPECT_FALSE(Entry());
}

TEST_F(SettingsTest, AStoreThatFailsAfterTheOpenUnticksTheBoxToo) {
  fake.registry.FailNext(FakeRegistry::Op::kSet, kErrorAccessDenied);
  fake.windows.UserClick(program.Settings().Get().chkAutoRun);
  EXPECT_EQ(Box(), 0);
  EXPECT_FALSE(Entry());
}

TEST_F(SettingsTest, WithoutWriteRightsAnExistingEntryIsLeftAsItIs) {
  const StoredValue old{kRegSz, Sz("D:\\Old place\\pellumin.exe")};
  fake.registry.SetValue(kHkeyLocalMachine, kRunKey, L"pellumin", old.type, old.bytes);
  fake.registry.SetReadOnly(kHkeyLocalMachine, kRunKey);
  EXPECT_EQ(Box(), 0);
  EXPECT_EQ(Entry(), old);
}

TEST_F(SettingsTest, AMissingRunKeyIsNeverCreated) {
  FakePlatform bare;
  Program p(bare.platform);
  bare.windows.UserClick(p.Settings().Get().chkAutoRun);
  EXPECT_EQ(bare.windows.CheckValue(p.Settings().Get().chkAutoRun), 0);
  EXPECT_FALSE(bare.registry.KeyExists(kHkeyLocalMachine, kRunKey));
  EXPECT_EQ(bare.registry.OpenHandleCount(), 0u);
}

TEST_F(SettingsTest, EntryNameAndDataFollowTheRunningExecutable) {
  struct Case {
    std::wstring module;
    std::wstring name;
    std::string data;
  } cases[] = {
      {L"C:\\pellumin.exe", L"pellumin", "C:\\\\pellumin.exe"},  // a root folder keeps its backslash
      {L"D:\\Tools\\Disk.Light.EXE", L"Disk.Light", "D:\\Tools\\Disk.Light.exe"},
      {L"\\\\server\\share\\bin\\pellumin.exe", L"pellumin", "\\\\server\\share\\bin\\pellumin.exe"},
      {L"C:\\Programme\\Grün\\pellumin.exe", L"pellumin", "C:\\Programme\\Gr\xfcn\\pellumin.exe"},
  };
  for (const Case& c : cases) {
    FakePlatform fresh;
    fresh.registry.CreateKey(kHkeyLocalMachine, kRunKey);
    fresh.app.module_file_name = c.module;
    Program p(fresh.platform);
    fresh.windows.UserClick(p.Settings().Get().chkAutoRun);
    EXPECT_EQ(fresh.registry.GetValue(kHkeyLocalMachine, kRunKey, c.name), (StoredValue{kRegSz, Sz(c.data)})) << c.data;
  }
}

TEST_F(SettingsTest, ClosingAndReferringAgainRunsTheLoadStepAgain) {
  const WindowId first = program.Settings().Get().Id();
  EXPECT_EQ(Box(), 0);
  // Someone else adds the entry while the window is open: not noticed yet.
  fake.registry.SetValue(kHkeyLocalMachine, kRunKey, L"pellumin", kRegSz, Sz("elsewhere.exe"));
  EXPECT_EQ(Box(), 0);

  fake.windows.UserClose(first);
  EXPECT_FALSE(program.Settings().Exists());
  EXPECT_EQ(Box(), 1);
  EXPECT_NE(program.Settings().Get().Id(), first);
  EXPECT_EQ(Entry(), kCurrentEntry);
}

TEST_F(SettingsTest, ShowingCreatesTheWindowOnceAndMakesItVisible) {
  program.Settings().Show();
  program.Settings().Show();
  EXPECT_EQ(fake.windows.FormsCreated(), 1u);
  EXPECT_TRUE(fake.windows.Find(program.Settings().Get().Id())->visible);
}

}  // namespace
}  // namespace np
