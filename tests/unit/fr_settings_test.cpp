// The Settings window: its layout, and the autorun box that always shows
// whether the Run entry exists, writes it, rewrites it and deletes it.
#include "settings/fr_settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "program/program.h"
#include "tests/unit/fake_platform.h"

namespace np {
namespace {

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// The fake executable lives under "C:\Program Files", so its entry is quoted.
const StoredValue kCurrentEntry{kRegSz, Sz("\"C:\\Program Files\\Norvane\\pellumin.exe\"")};
const StoredValue kOldEntry{kRegSz, Sz("D:\\Old\\pellumin.exe")};

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { fake.registry.CreateKey(kHkeyLocalMachine, kRunKey); }

  std::optional<StoredValue> Entry() const { return fake.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin"); }
  void SetEntry(const StoredValue& v) { fake.registry.SetValue(kHkeyLocalMachine, kRunKey, L"pellumin", v.type, v.bytes); }
  frSettings& Window() { return *program.Settings().Get(); }
  int Box() { return fake.windows.CheckValue(Window().chkAutoRun); }
  void Click() { fake.windows.UserClick(Window().chkAutoRun); }
  void TearDown() override { EXPECT_EQ(fake.registry.OpenHandleCount(), 0u); }

  FakePlatform fake;
  Program program{fake.platform};
};

TEST_F(SettingsTest, AnyExistingEntryTicksTheBoxAndIsRewrittenWithTheCurrentPath) {
  const StoredValue found[] = {kOldEntry,           {kRegDword, {1, 0, 0, 0}}, {kRegDword, {1, 2, 3, 4, 5}},
                               {kRegExpandSz, Sz("%X%")}, {kRegBinary, {0xde}}};
  for (const StoredValue& value : found) {
    FakePlatform fresh;
    fresh.registry.SetValue(kHkeyLocalMachine, kRunKey, L"PELLUMIN", value.type, value.bytes);
    Program p(fresh.platform);
    EXPECT_EQ(fresh.windows.CheckValue(p.Settings().Get()->chkAutoRun), 1) << value.type;
    EXPECT_EQ(fresh.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin"), kCurrentEntry) << value.type;
  }
}

TEST_F(SettingsTest, TickingWritesTheEntryAndUntickingDeletesIt) {
  EXPECT_EQ(Box(), 0);
  EXPECT_FALSE(Entry()) << "no entry: nothing written at load";
  Click();
  EXPECT_EQ(Entry(), kCurrentEntry);
  EXPECT_EQ(Box(), 1);
  Click();
  EXPECT_FALSE(Entry());
  EXPECT_EQ(Box(), 0);
  fake.windows.SetCheckValue(Window().chkAutoRun, 2);  // greyed counts as off
  EXPECT_FALSE(Entry());
  EXPECT_TRUE(fake.boxes.Shown().empty()) << "registry outcomes are never shown";
}

// Without write rights, or when the store fails, the box must tell the truth
// and a failure must never lead to another registry change.
TEST_F(SettingsTest, TheBoxShowsWhetherTheEntryExistsAfterEveryFailure) {
  struct Case {
    const char* what;
    std::optional<StoredValue> before;
    bool read_only;
    bool fail_store;
    int clicks;
    int box;
  };
  const Case cases[] = {
      {"entry, read-only key: ticked at load, left alone", kOldEntry, true, false, 0, 1},
      {"entry, store fails at load", kOldEntry, false, true, 0, 1},
      {"no entry, read-only key, user ticks", std::nullopt, true, false, 1, 0},
      {"entry, read-only key, user unticks", kOldEntry, true, false, 1, 1},
      {"no entry, store fails after the open", std::nullopt, false, true, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform f;
    if (c.before) f.registry.SetValue(kHkeyLocalMachine, kRunKey, L"pellumin", c.before->type, c.before->bytes);
    f.registry.SetReadOnly(kHkeyLocalMachine, kRunKey, c.read_only);
    if (c.fail_store) f.registry.FailNext(FakeRegistry::Op::kSet, kErrorAccessDenied);
    Program p(f.platform);
    const ControlId box = p.Settings().Get()->chkAutoRun;
    for (int i = 0; i < c.clicks; ++i) f.windows.UserClick(box);
    EXPECT_EQ(f.windows.CheckValue(box), c.box);
    EXPECT_EQ(f.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin"), c.before);
    const auto attempts = std::count_if(f.log.Calls().begin(), f.log.Calls().end(), [](const LoggedCall& call) {
      return call.what.rfind("RegOpenKeyExA", 0) == 0 && call.what.find(" 0x3f ") != std::string::npos;
    });
    EXPECT_EQ(attempts, c.clicks + (c.before ? 1 : 0)) << "one write or delete per change, no more";
  }
}

TEST_F(SettingsTest, EntryNameAndDataFollowTheRunningExecutable) {
  struct Case {
    std::wstring module;
    std::wstring name;
    std::optional<std::string> data;  // none: the write is refused
  } cases[] = {
      {L"C:\\pellumin.exe", L"pellumin", "C:\\\\pellumin.exe"},  // a root folder keeps its backslash
      {L"D:\\Tools\\Disk.Light.EXE", L"Disk.Light", "D:\\Tools\\Disk.Light.exe"},
      {L"C:\\My Tools\\pellumin.exe", L"pellumin", "\"C:\\My Tools\\pellumin.exe\""},
      {L"C:\\\u65e5\u672c\\pellumin.exe", L"pellumin", std::nullopt},  // not in the code page
  };
  for (const Case& c : cases) {
    FakePlatform fresh;
    fresh.registry.CreateKey(kHkeyLocalMachine, kRunKey);
    fresh.app.module_file_name = c.module;
    Program p(fresh.platform);
    fresh.windows.UserClick(p.Settings().Get()->chkAutoRun);
    const auto stored = fresh.registry.GetValue(kHkeyLocalMachine, kRunKey, c.name);
    if (c.data) {
      EXPECT_EQ(stored, (StoredValue{kRegSz, Sz(*c.data)})) << *c.data;
    } else {
      EXPECT_FALSE(stored);
      EXPECT_EQ(fresh.windows.CheckValue(p.Settings().Get()->chkAutoRun), 0);
    }
  }
}

TEST_F(SettingsTest, ClosingAndReferringAgainRunsTheLoadStepAgain) {
  const WindowId first = Window().Id();
  SetEntry(kOldEntry);  // someone else adds it while the window is open: not noticed yet
  EXPECT_EQ(Box(), 0);
  fake.windows.UserClose(first);
  EXPECT_FALSE(program.Settings().Exists());
  EXPECT_EQ(Box(), 1);
  EXPECT_NE(Window().Id(), first);
  EXPECT_EQ(Entry(), kCurrentEntry);
}

}  // namespace
}  // namespace np
