#pragma once
// Typing keystrokes into the focused application. The records are those Keyset files
// store: the Windows virtual-key code and the set-1 scan code with the extended-key flag,
// so that a Keyset types the same key on every platform; the implementation maps them.
#include <cstdint>

namespace orvo {

inline constexpr uint32_t kKeyEventExtendedKey = 0x1;
inline constexpr uint32_t kKeyEventKeyUp = 0x2;

struct KeyboardInput {
  uint16_t VirtualKey = 0;
  uint16_t ScanCode = 0;
  uint32_t Flags = 0;  // kKeyEventExtendedKey, kKeyEventKeyUp
};

class KeyInjector {
 public:
  virtual ~KeyInjector() = default;
  // Types the records in order, in one go. Called on the read thread.
  virtual void SendInput(const KeyboardInput* inputs, uint32_t count) = 0;
};

}  // namespace orvo
