// The LED patterns: exact key events and pauses, and lock and key states afterwards.
#include "core/led_patterns.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/fake_platform.h"

namespace np {
namespace {

TEST(LedPatterns, ABlinkIsSixPulsesOfReleasePressReleaseEachFollowedByAPause) {
  FakePlatform fake;
  BlinkLockKey(fake.keyboard, fake.clock, kVkCapsLock);
  const std::vector<std::string> pulse = {"keybd_event 20 0 2 0", "keybd_event 20 0 0 0", "keybd_event 20 0 2 0",
                                          "Sleep 100"};
  std::vector<std::string> six;
  for (int i = 0; i < 6; ++i) six.insert(six.end(), pulse.begin(), pulse.end());
  EXPECT_EQ(fake.log.Names(), six);
  EXPECT_EQ(fake.keyboard.Events().back().time_ms, 500u);
}

// From any lock state: Caps Lock on here, and the user toggling Num Lock
// during the sweep, which stands. Every key is left up, so the user's next
// press of each toggles it.
TEST(LedPatterns, SweepsBlinkEachLockInTurnAndLeaveItAsTheUserHasIt) {
  struct Case {
    void (*sweep)(Keyboard&, Clock&);
    std::vector<std::uint8_t> order;
  } cases[] = {{StartupLedSweep, {144, 20, 145}}, {ShutdownLedSweep, {145, 20, 144}}};
  for (const Case& c : cases) {
    FakePlatform fake;
    fake.keyboard.SetLock(kVkCapsLock, true);
    fake.clock.At(250, [&] { fake.keyboard.UserTap(kVkNumLock); });
    c.sweep(fake.keyboard, fake.clock);
    std::vector<std::uint8_t> order;
    for (const KeyEventRecord& e : fake.keyboard.Events()) {
      if (order.empty() || order.back() != e.vk) order.push_back(e.vk);
    }
    EXPECT_EQ(order, c.order);
    EXPECT_EQ(fake.keyboard.Events().size(), 54u);
    EXPECT_EQ(fake.clock.NowMs(), 1800u);
    for (std::uint8_t vk : {kVkNumLock, kVkCapsLock, kVkScrollLock}) {
      const bool on = fake.keyboard.LockOn(vk);
      EXPECT_EQ(on, vk != kVkScrollLock) << int(vk);
      fake.keyboard.UserTap(vk);
      EXPECT_NE(fake.keyboard.LockOn(vk), on) << int(vk) << " swallowed the user's press";
    }
  }
}

}  // namespace
}  // namespace np
