// The tray menu: which callbacks open it, what it holds, and what each item does.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "tests/unit/fake_platform.h"
#include "program/program.h"

namespace np {
namespace {

class TrayMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.Start());
    fake.log.Clear();
  }
  // The shell's callback: its mouse message arrives as x of a mouse move.
  void Callback(int code) { fake.windows.PostMouseMove(program.Main()->Id(), code, 0); }
  // A right-button release with the user choosing `caption` (empty: dismissing).
  void Choose(const std::wstring& caption) {
    fake.windows.on_popup = [&, caption](const std::vector<MenuItem>& items, int default_id) {
      shown_items = items;
      shown_default = default_id;
      return caption;
    };
    Callback(517);
  }
  std::size_t Count(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& call : fake.log.Calls()) n += call.what.rfind(prefix, 0) == 0;
    return n;
  }

  FakePlatform fake;
  Program program{fake.platform};
  std::vector<MenuItem> shown_items;
  int shown_default = 0;
};

TEST_F(TrayMenuTest, ARightButtonReleaseOpensAboutBoldSettingsSeparatorExitFromTheForegroundPopHost) {
  for (int code : {512, 513, 514, 515, 516, 518, 519, 520, 521, 0, 517 + 65536}) Callback(code);
  EXPECT_TRUE(fake.log.Calls().empty()) << "no other mouse message opens anything, nor makes frPop";
  Choose(L"");
  std::vector<std::wstring> captions;
  for (const MenuItem& item : shown_items) captions.push_back(item.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"About", L"Settings", L"-", L"Exit"}));
  EXPECT_EQ(shown_default, shown_items.at(0).id);

  const auto& calls = fake.log.Names();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], "CreateForm \"\"");  // frPop, on the first release
  EXPECT_EQ(calls[1].rfind("SetForegroundWindow ", 0), 0u);
  EXPECT_EQ(calls[2], "PopupMenu " + calls[1].substr(20)) << "the menu comes from the window brought forward";
  Choose(L"");
  EXPECT_EQ(Count("CreateForm"), 1u) << "frPop is made once";
  EXPECT_EQ(Count("ShowForm"), 0u) << "and never shown";
  EXPECT_TRUE(fake.boxes.Shown().empty());
}

// A box raised by a load step runs a nested message loop: ticks and a menu
// choice handled there find the window still being made and leave it alone.
TEST_F(TrayMenuTest, WhileALoadStepShowsABoxNoSecondWindowIsMadeAndNoSampleTaken) {
  fake.registry.CreateKey(kHkeyLocalMachine, kRunKey);
  fake.registry.SetValue(kHkeyLocalMachine, kRunKey, L"pellumin", kRegSz, {'x', 0});
  const std::wstring name = std::exchange(fake.app.module_file_name, L"");  // the load step reports it
  fake.boxes.while_open = [&] {
    fake.boxes.while_open = nullptr;
    fake.app.module_file_name = name;
    fake.RunFor(300);
    Choose(L"Settings");
    EXPECT_EQ(fake.disks.Readings(), 0);
    EXPECT_EQ(Count("RegOpenKeyExA"), 0u);
  };
  fake.RunFor(30);
  ASSERT_EQ(fake.boxes.Shown().size(), 1u);
  EXPECT_EQ(Count("CreateForm \"Settings\""), 1u);
  EXPECT_EQ(Count("ShowForm"), 0u);
  Choose(L"Settings");
  EXPECT_TRUE(fake.windows.Find(program.Settings().Get()->Id())->visible) << "the one made is whole and shown";
}

TEST_F(TrayMenuTest, ExitRemovesTheIconUnloadsSweepsBackAndEndsFromInsideTheMenu) {
  fake.keyboard.SetLock(kVkCapsLock, true);
  const WindowId main = program.Main()->Id();
  const std::uint64_t chosen = fake.clock.NowMs();
  Choose(L"Exit");
  std::vector<std::string> milestones;
  for (const auto& call : fake.log.Calls()) {
    const std::string& w = call.what;
    const bool key_or_pause = w.rfind("keybd_event", 0) == 0 || w.rfind("Sleep", 0) == 0;
    if (!key_or_pause) milestones.push_back(w.substr(0, w.find(' ')));
    else if (milestones.back() != "sweep") milestones.push_back("sweep");
  }
  EXPECT_EQ(milestones, (std::vector<std::string>{"CreateForm", "SetForegroundWindow", "PopupMenu",
                                                  "Shell_NotifyIconA", "DestroyForm", "sweep", "EndProcess"}));
  EXPECT_EQ(fake.log.Calls().back().time_ms, chosen + 1800);
  EXPECT_EQ(fake.tray.Calls().back().message, kNimDelete);
  EXPECT_EQ(fake.tray.Calls().back().bytes, fake.tray.Calls().front().bytes) << "the record it added";
  EXPECT_EQ(fake.windows.Find(main), nullptr) << "window and Timer1 gone";
  const auto& keys = fake.keyboard.Events();
  EXPECT_EQ(keys[keys.size() - 54].vk, kVkScrollLock);
  EXPECT_EQ(keys.back().vk, kVkNumLock);
  EXPECT_TRUE(fake.keyboard.LockOn(kVkCapsLock));
  EXPECT_TRUE(fake.app.Ended());
}

// What a resident program holds must not grow with use: windows, registry
// keys and disk sources, over many rounds of every journey.
TEST_F(TrayMenuTest, RoundsOfEveryJourneyLeaveNothingBehind) {
  using Held = std::tuple<std::size_t, std::size_t, int>;
  auto held = [&] {
    return Held{fake.windows.FormCount(), fake.registry.OpenHandleCount(), fake.disks.OpenSources()};
  };
  fake.registry.CreateKey(kHkeyLocalMachine, kRunKey);
  std::optional<Held> after_first;
  for (int round = 0; round < 30; ++round) {
    fake.disks.Script({3, 0, 12, 40, 0});
    Choose(L"About");
    fake.RunFor(round * 7 % 1500);  // closed at every stage of the animation
    fake.windows.UserClose(program.About().Get()->Id());
    Choose(L"Settings");
    fake.windows.UserClick(program.Settings().Get()->chkAutoRun);
    fake.windows.UserClick(program.Settings().Get()->chkAutoRun);
    fake.windows.UserClose(program.Settings().Get()->Id());
    Choose(L"");
    fake.disks.available = round % 10 != 5;  // now and then the source goes away
    fake.RunFor(1200);
    if (round == 0) after_first = held();
  }
  fake.disks.available = true;
  fake.RunFor(1200);
  EXPECT_EQ(held(), *after_first);
  EXPECT_FALSE(fake.registry.GetValue(kHkeyLocalMachine, kRunKey, L"pellumin")) << "as the last click left it";
  EXPECT_EQ(fake.tray.IconCount(), 1u);
  EXPECT_FALSE(fake.keyboard.LockOn(kVkScrollLock));
}

}  // namespace
}  // namespace np
