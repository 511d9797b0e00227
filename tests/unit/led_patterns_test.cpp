// The LED patterns: exact key events and pauses, and lock and key states afterwards.
#include "core/led_patterns.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "platform/fake/fake_platform.h"

namespace np {
namespace {

struct SweepCase {
  const char* name;
  void (*sweep)(Keyboard&, Clock&);
  std::vector<std::uint8_t> order;
};

void PrintTo(const SweepCase& c, std::ostream* os) { *os << c.name; }

class SweepTest : public ::testing::TestWithParam<SweepCase> {};

TEST_P(SweepTest, SendsSixPulsesPerKeyInOrderEachFollowedByAPause) {
  FakePlatform fake;
  GetParam().sweep(fake.keyboard, fake.clock);

  std::vector<std::string> expected;
  for (std::uint8_t vk : GetParam().order) {
    for (int pulse = 0; pulse < 6; ++pulse) {
      for (const char* flags : {" 0 2 0", " 0 0 0", " 0 2 0"}) expected.push_back("keybd_event " + std::to_string(vk) + flags);
      expected.push_back("Sleep 100");
    }
  }
  EXPECT_EQ(fake.log.Names(), expected);
  const auto& events = fake.keyboard.Events();
  for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].time_ms, 100 * (i / 3)) << "event " << i;
}

TEST_P(SweepTest, LeavesEveryLockAsItWasAndEveryKeyUp) {
  for (int states = 0; states < 8; ++states) {
    FakePlatform fake;
    const bool num = states & 1, caps = states & 2, scroll = states & 4;
    fake.keyboard.SetLock(kVkNumLock, num);
    fake.keyboard.SetLock(kVkCapsLock, caps);
    fake.keyboard.SetLock(kVkScrollLock, scroll);
    GetParam().sweep(fake.keyboard, fake.clock);
    EXPECT_EQ(fake.keyboard.LockOn(kVkNumLock), num) << states;
    EXPECT_EQ(fake.keyboard.LockOn(kVkCapsLock), caps) << states;
    EXPECT_EQ(fake.keyboard.LockOn(kVkScrollLock), scroll) << states;
    // The user's next press of each key must toggle it.
    for (std::uint8_t vk : GetParam().order) {
      const bool before = fake.keyboard.LockOn(vk);
      fake.keyboard.UserTap(vk);
      EXPECT_NE(fake.keyboard.LockOn(vk), before) << "vk " << int(vk) << " swallowed the user's press";
    }
  }
}

TEST_P(SweepTest, AUserToggleDuringTheSweepStands) {
  FakePlatform fake;
  const std::uint8_t tapped = GetParam().order.back();
  fake.clock.At(250, [&] { fake.keyboard.UserTap(tapped); });
  GetParam().sweep(fake.keyboard, fake.clock);
  for (std::uint8_t vk : GetParam().order) EXPECT_EQ(fake.keyboard.LockOn(vk), vk == tapped) << int(vk);
}

INSTANTIATE_TEST_SUITE_P(Sweeps, SweepTest,
                         ::testing::Values(SweepCase{"Startup", StartupLedSweep, {144, 20, 145}},
                                           SweepCase{"Shutdown", ShutdownLedSweep, {145, 20, 144}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PulseLockKey, TogglesOnceEvenWhileTheUserHoldsTheKeyDown) {
  FakePlatform fake;
  fake.keyboard.UserPress(kVkScrollLock);  // toggles on
  for (int pulse = 1; pulse <= 3; ++pulse) {
    PulseLockKey(fake.keyboard, kVkScrollLock);
    EXPECT_EQ(fake.keyboard.LockOn(kVkScrollLock), pulse % 2 == 0) << pulse;
  }
}

}  // namespace
}  // namespace np
