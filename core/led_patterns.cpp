// Key-event patterns that blink the lock-key LEDs.
#include "core/led_patterns.h"

#include <initializer_list>

namespace np {

void PulseLockKey(Keyboard& keyboard, std::uint8_t vk) {
  keyboard.KeybdEvent(vk, 0, kKeyEventKeyUp, 0);
  keyboard.KeybdEvent(vk, 0, 0, 0);
  keyboard.KeybdEvent(vk, 0, kKeyEventKeyUp, 0);
}

void BlinkLockKey(Keyboard& keyboard, Clock& clock, std::uint8_t vk) {
  for (std::int16_t pulse = 1; pulse <= kPulsesPerBlink; ++pulse) {
    PulseLockKey(keyboard, vk);
    clock.Sleep(kBlinkPauseMs);
  }
}

void StartupLedSweep(Keyboard& keyboard, Clock& clock) {
  for (std::uint8_t vk : {kVkNumLock, kVkCapsLock, kVkScrollLock}) BlinkLockKey(keyboard, clock, vk);
}

void ShutdownLedSweep(Keyboard& keyboard, Clock& clock) {
  for (std::uint8_t vk : {kVkScrollLock, kVkCapsLock, kVkNumLock}) BlinkLockKey(keyboard, clock, vk);
}

}  // namespace np
