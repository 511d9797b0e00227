// Synthetic keyboard input, the only way the program touches the lock LEDs.
#pragma once
#include <cstdint>

namespace np {

inline constexpr std::uint8_t kVkNumLock = 144;
inline constexpr std::uint8_t kVkCapsLock = 20;
inline constexpr std::uint8_t kVkScrollLock = 145;
inline constexpr std::uint32_t kKeyEventKeyUp = 2;

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // user32 keybd_event: injects one key event; there is no result to look at.
  virtual void KeybdEvent(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags, std::uintptr_t extra_info) = 0;
};

}  // namespace np
