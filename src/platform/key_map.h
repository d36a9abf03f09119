#pragma once
// The keyboard as Keyset files describe it: each key by its Windows virtual-key code and
// its set-1 scan code with the extended-key flag, matched to the Linux input (evdev) key
// code and to a readable name. The table is the same on every platform, so a Keyset
// written on one machine types the same keys on another. No platform calls in here.
#include <cstdint>
#include <span>
#include <string>

namespace orvo {

struct KeyMapEntry {
  uint16_t VirtualKey;  // what the key's down event reports (Shift/Ctrl/Alt: the generic code)
  uint8_t ScanCode;     // set-1 make code without the 0xE0 prefix
  bool Extended;        // the 0xE0 prefix: arrows, navigation block, right Ctrl/Alt, ...
  uint16_t Evdev;       // Linux input key code
  const char* Name;     // "A", "Space", "Right", "Num 6", "F5", "Ctrl", ...
};

// X11 numbers keys as the evdev code plus 8.
inline constexpr uint32_t kX11KeycodeOffset = 8;
inline constexpr uint32_t X11KeycodeFromEvdev(uint16_t evdev) { return evdev + kX11KeycodeOffset; }
inline constexpr uint16_t EvdevFromX11Keycode(uint32_t keycode) {
  return static_cast<uint16_t>(keycode - kX11KeycodeOffset);
}

// Every key of the table, one entry per physical key.
std::span<const KeyMapEntry> AllKeys();

// The key with this scan code and extended flag, or nullptr.
const KeyMapEntry* FindKeyByScanCode(uint8_t scanCode, bool extended);

// The key with this evdev code, or nullptr: what key capture uses to store a key.
const KeyMapEntry* FindKeyByEvdev(uint16_t evdev);

// The key a virtual-key code stands for, or nullptr. Codes shared by two keys (Shift,
// Ctrl, Alt, Enter) give the main-block key; the left/right codes (0xA0-0xA5) give their side.
const KeyMapEntry* FindKeyByVirtualKey(uint16_t virtualKey);

// The key of a keyboard record: its scan code and extended flag when the table knows
// them (the physical key, as captured), else its virtual-key code (records that carry
// no scan code, like the modifiers the dispatch adds). nullptr when neither is known.
const KeyMapEntry* ResolveKey(uint16_t virtualKey, uint16_t scanCode, bool extended);

// The name of a stored key from a mapping's KeyFlags (scan code in bits 16-23, extended
// flag in bit 24); an unknown key reads "Key 0x4F" or "Key E0 0x4F".
std::string KeyNameFromFlags(uint32_t keyFlags);

}  // namespace orvo
