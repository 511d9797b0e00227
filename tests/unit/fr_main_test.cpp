// Start-up, the refused second instance, the tray icon and the exit sequence.
#include "core/fr_main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "program/program.h"
#include "platform/fake/fake_platform.h"

namespace np {
namespace {

// The calls that matter to the user, in order: no control or text traffic.
std::vector<std::string> Milestones(const CallLog& log) {
  std::vector<std::string> out;
  for (const auto& call : log.Calls()) {
    const std::string& w = call.what;
    if (w.rfind("keybd_event", 0) == 0 || w.rfind("Sleep", 0) == 0) {
      if (out.empty() || out.back() != "sweep") out.push_back("sweep");
    } else {
      out.push_back(w);
    }
  }
  return out;
}

AnsiNotifyIconData Record(const TrayCallRecord& call) {
  AnsiNotifyIconData data;
  std::memcpy(&data, call.bytes.data(), sizeof data);
  return data;
}

TEST(Startup, ChecksTheInstanceThenSweepsThenAddsTheIcon) {
  FakePlatform fake;
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());

  EXPECT_EQ(Milestones(fake.log), (std::vector<std::string>{"CreateForm \"\"", "PrevInstance", "SetTimer 1 30",
                                                            "DiskSource.Open", "sweep", "Shell_NotifyIconA 0"}));
  ASSERT_EQ(fake.tray.Calls().size(), 1u);
  EXPECT_EQ(fake.tray.Calls()[0].time_ms, 1800u);
  EXPECT_EQ(fake.tray.IconCount(), 1u);

  const WindowId main = program.Main()->Id();
  const FakeForm* form = fake.windows.Find(main);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->visible);
  EXPECT_EQ(form->design.kind, FormKind::kHidden);
  EXPECT_EQ(form->timers.at(kTimer1).interval_ms, 30u);
}

TEST(Startup, TrayRecordNamesTheMainWindowAndItsIcon) {
  FakePlatform fake;
  fake.windows.app_icon = 0x00A1B2C3;
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  const AnsiNotifyIconData data = Record(fake.tray.Calls().at(0));
  EXPECT_EQ(data.hWnd, fake.windows.Find(program.Main()->Id())->handle);
  EXPECT_EQ(data.uID, 0x00A1B2C3u);
  EXPECT_EQ(data.hIcon, 0x00A1B2C3u);
  EXPECT_EQ(data.uFlags, 7u);
  EXPECT_EQ(data.uCallbackMessage, 512u);
  std::string tip = std::string("Norvane Pellumin v1.0") + '\0';
  tip.resize(sizeof data.szTip, ' ');  // then spaces to the end of the field
  EXPECT_EQ(std::string(data.szTip, sizeof data.szTip), tip);
}

TEST(Startup, SecondInstanceOnlyShowsTheMessageAndEnds) {
  FakePlatform fake;
  fake.app.another_instance_running = true;
  Program program(fake.platform);
  program.Start();

  EXPECT_EQ(Milestones(fake.log),
            (std::vector<std::string>{"CreateForm \"\"", "PrevInstance", "MessageBoxA 0", "EndProcess"}));
  ASSERT_EQ(fake.boxes.Shown().size(), 1u);
  EXPECT_EQ(fake.boxes.Shown()[0].text, L"Norvane Pellumin is already running!");
  EXPECT_EQ(fake.boxes.Shown()[0].caption, L"Norvane Pellumin");
  EXPECT_EQ(fake.boxes.Shown()[0].type, 0u);
  EXPECT_TRUE(fake.keyboard.Events().empty());
  EXPECT_TRUE(fake.tray.Calls().empty());
  EXPECT_TRUE(fake.app.Ended());
}

TEST(Startup, TicksOverdueSinceTheSweepComeOnceAfterIt) {
  FakePlatform fake;
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(fake.disks.Collects(), 0);
  fake.RunFor(100);  // at 1800 (all the overdue ones), 1830, 1860, 1890
  EXPECT_EQ(fake.disks.Collects(), 4);
}

TEST(Startup, ARefusedInstanceNeverSamplesWhileItsBoxIsOpen) {
  FakePlatform fake;
  fake.app.another_instance_running = true;
  fake.disks.Script({50});
  fake.boxes.while_open = [&] { fake.RunFor(1000); };  // the box's modal loop
  Program program(fake.platform);
  program.Start();
  EXPECT_EQ(fake.disks.Collects(), 0);
  EXPECT_TRUE(fake.keyboard.Events().empty());
  EXPECT_FALSE(fake.windows.FindByCaption(L"Settings"));
  for (const auto& call : fake.log.Calls()) EXPECT_NE(call.what.rfind("Reg", 0), 0u) << "no registry access";
}

TEST(Startup, AFailedTrayAddIsNotRetried) {
  FakePlatform fake;
  fake.tray.FailNextCall();
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  fake.RunFor(5000);
  EXPECT_EQ(fake.tray.Calls().size(), 1u);
  EXPECT_EQ(fake.tray.IconCount(), 0u);
  EXPECT_TRUE(fake.boxes.Shown().empty()) << "the shell's result is never looked at";
}

TEST(Startup, AMainWindowThatCannotBeCreatedIsReportedOnce) {
  FakePlatform fake;
  fake.windows.FailNextCreate();
  Program program(fake.platform);
  EXPECT_FALSE(program.Start());
  ASSERT_EQ(fake.boxes.Shown().size(), 1u);
  EXPECT_EQ(fake.boxes.Shown()[0].caption, L"Norvane Pellumin");
  EXPECT_TRUE(fake.keyboard.Events().empty());
  EXPECT_TRUE(fake.tray.Calls().empty());
}

TEST(ShellRestart, PutsTheSameIconBackEvenIfTheFirstAddFailed) {
  FakePlatform fake;
  fake.tray.FailNextCall();  // started from the Run entry before the shell was ready
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(fake.tray.IconCount(), 0u);
  fake.windows.BroadcastTaskbarCreated();
  EXPECT_EQ(fake.tray.IconCount(), 1u);
  ASSERT_EQ(fake.tray.Calls().size(), 2u);
  EXPECT_EQ(fake.tray.Calls()[1].message, kNimAdd);
  EXPECT_EQ(fake.tray.Calls()[1].bytes, fake.tray.Calls()[0].bytes);
}

TEST(Startup, AMissingIconIsAnErrorNotAZeroHandleInTheTray) {
  FakePlatform fake;
  fake.windows.app_icon = 0;
  Program program(fake.platform);
  program.Start();
  EXPECT_TRUE(fake.tray.Calls().empty());
  EXPECT_EQ(fake.boxes.Shown().size(), 1u);
}

TEST(Startup, TheUsersFirstLockKeyPressAfterTheGreetingCounts) {
  FakePlatform fake;
  Program program(fake.platform);
  ASSERT_TRUE(program.Start());
  fake.keyboard.UserTap(kVkCapsLock);
  EXPECT_TRUE(fake.keyboard.LockOn(kVkCapsLock));
}

}  // namespace
}  // namespace np
