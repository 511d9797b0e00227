// Start-up: the instance check, the greeting, the tray icon and the first samples.
#include "core/fr_main.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "program/program.h"
#include "tests/unit/fake_platform.h"

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

TEST(Startup, ChecksTheInstanceThenSweepsThenAddsTheIconOfTheMainWindow) {
  FakePlatform fake;
  fake.windows.app_icon = 0x00A1B2C3;
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

  AnsiNotifyIconData data;
  std::memcpy(&data, fake.tray.Calls().at(0).bytes.data(), sizeof data);
  EXPECT_EQ((std::array<std::uintptr_t, 5>{data.hWnd, data.uID, data.uFlags, data.uCallbackMessage, data.hIcon}),
            (std::array<std::uintptr_t, 5>{form->handle, 0x00A1B2C3, 7, 512, 0x00A1B2C3}));
  std::string tip = std::string("Norvane Pellumin v1.0") + '\0';
  tip.resize(sizeof data.szTip, ' ');  // then spaces to the end of the field
  EXPECT_EQ(std::string(data.szTip, sizeof data.szTip), tip);

  EXPECT_EQ(fake.disks.Collects(), 0);
  fake.RunFor(100);  // at 1800 (all the overdue ones), 1830, 1860, 1890
  EXPECT_EQ(fake.disks.Collects(), 4) << "ticks overdue since the sweep come once after it";
  fake.keyboard.UserTap(kVkCapsLock);
  EXPECT_TRUE(fake.keyboard.LockOn(kVkCapsLock)) << "the user's first lock key press after the greeting counts";
}

}  // namespace
}  // namespace np
