// Key-event patterns that blink the lock-key LEDs. They only toggle, never read
// or set a lock state, so an even number of toggles leaves every LED as it was.
#pragma once
#include <cstdint>

#include "platform/api/clock.h"
#include "platform/api/keyboard.h"

namespace np {

inline constexpr int kPulsesPerBlink = 6;
inline constexpr std::uint32_t kBlinkPauseMs = 100;

// One toggle: release, press, release. The first release makes the press a
// fresh key-down even if the user holds the key, so every pulse toggles exactly
// once; the closing release leaves the key up, so the user's next press of it
// toggles too (the system toggles a lock only on a key-down of a released key).
void PulseLockKey(Keyboard& keyboard, std::uint8_t vk);
// Six pulses, each followed by a 100 ms pause: three flashes in 600 ms.
void BlinkLockKey(Keyboard& keyboard, Clock& clock, std::uint8_t vk);
// Num, Caps, Scroll at start; the reverse at exit. 1.8 s each.
void StartupLedSweep(Keyboard& keyboard, Clock& clock);
void ShutdownLedSweep(Keyboard& keyboard, Clock& clock);

}  // namespace np
