#include "platform/key_map.h"

#include <array>
#include <cstdio>

namespace orvo {
namespace {

// virtual key, scan code, extended, evdev, name. One row per physical key of a full
// keyboard; the keypad and the separate navigation block share scan codes and are told
// apart by the extended flag.
constexpr KeyMapEntry kKeys[] = {
    // Main block, row by row.
    {0x1B, 0x01, false, 1, "Esc"},
    {0x31, 0x02, false, 2, "1"},
    {0x32, 0x03, false, 3, "2"},
    {0x33, 0x04, false, 4, "3"},
    {0x34, 0x05, false, 5, "4"},
    {0x35, 0x06, false, 6, "5"},
    {0x36, 0x07, false, 7, "6"},
    {0x37, 0x08, false, 8, "7"},
    {0x38, 0x09, false, 9, "8"},
    {0x39, 0x0A, false, 10, "9"},
    {0x30, 0x0B, false, 11, "0"},
    {0xBD, 0x0C, false, 12, "-"},
    {0xBB, 0x0D, false, 13, "="},
    {0x08, 0x0E, false, 14, "Backspace"},
    {0x09, 0x0F, false, 15, "Tab"},
    {0x51, 0x10, false, 16, "Q"},
    {0x57, 0x11, false, 17, "W"},
    {0x45, 0x12, false, 18, "E"},
    {0x52, 0x13, false, 19, "R"},
    {0x54, 0x14, false, 20, "T"},
    {0x59, 0x15, false, 21, "Y"},
    {0x55, 0x16, false, 22, "U"},
    {0x49, 0x17, false, 23, "I"},
    {0x4F, 0x18, false, 24, "O"},
    {0x50, 0x19, false, 25, "P"},
    {0xDB, 0x1A, false, 26, "["},
    {0xDD, 0x1B, false, 27, "]"},
    {0x0D, 0x1C, false, 28, "Enter"},
    {0x11, 0x1D, false, 29, "Ctrl"},
    {0x41, 0x1E, false, 30, "A"},
    {0x53, 0x1F, false, 31, "S"},
    {0x44, 0x20, false, 32, "D"},
    {0x46, 0x21, false, 33, "F"},
    {0x47, 0x22, false, 34, "G"},
    {0x48, 0x23, false, 35, "H"},
    {0x4A, 0x24, false, 36, "J"},
    {0x4B, 0x25, false, 37, "K"},
    {0x4C, 0x26, false, 38, "L"},
    {0xBA, 0x27, false, 39, ";"},
    {0xDE, 0x28, false, 40, "'"},
    {0xC0, 0x29, false, 41, "`"},
    {0x10, 0x2A, false, 42, "Shift"},
    {0xDC, 0x2B, false, 43, "\\"},
    {0x5A, 0x2C, false, 44, "Z"},
    {0x58, 0x2D, false, 45, "X"},
    {0x43, 0x2E, false, 46, "C"},
    {0x56, 0x2F, false, 47, "V"},
    {0x42, 0x30, false, 48, "B"},
    {0x4E, 0x31, false, 49, "N"},
    {0x4D, 0x32, false, 50, "M"},
    {0xBC, 0x33, false, 51, ","},
    {0xBE, 0x34, false, 52, "."},
    {0xBF, 0x35, false, 53, "/"},
    {0x10, 0x36, false, 54, "Right Shift"},
    {0x12, 0x38, false, 56, "Alt"},
    {0x20, 0x39, false, 57, "Space"},
    {0x14, 0x3A, false, 58, "Caps Lock"},
    {0xE2, 0x56, false, 86, "< >"},  // the extra key beside left Shift on 105-key boards
    {0x11, 0x1D, true, 97, "Right Ctrl"},
    {0x12, 0x38, true, 100, "Right Alt"},
    {0x5B, 0x5B, true, 125, "Left Windows"},
    {0x5C, 0x5C, true, 126, "Right Windows"},
    {0x5D, 0x5D, true, 127, "Application"},

    // Function keys.
    {0x70, 0x3B, false, 59, "F1"},
    {0x71, 0x3C, false, 60, "F2"},
    {0x72, 0x3D, false, 61, "F3"},
    {0x73, 0x3E, false, 62, "F4"},
    {0x74, 0x3F, false, 63, "F5"},
    {0x75, 0x40, false, 64, "F6"},
    {0x76, 0x41, false, 65, "F7"},
    {0x77, 0x42, false, 66, "F8"},
    {0x78, 0x43, false, 67, "F9"},
    {0x79, 0x44, false, 68, "F10"},
    {0x7A, 0x57, false, 87, "F11"},
    {0x7B, 0x58, false, 88, "F12"},
    {0x7C, 0x64, false, 183, "F13"},
    {0x7D, 0x65, false, 184, "F14"},
    {0x7E, 0x66, false, 185, "F15"},
    {0x7F, 0x67, false, 186, "F16"},
    {0x80, 0x68, false, 187, "F17"},
    {0x81, 0x69, false, 188, "F18"},
    {0x82, 0x6A, false, 189, "F19"},
    {0x83, 0x6B, false, 190, "F20"},
    {0x84, 0x6C, false, 191, "F21"},
    {0x85, 0x6D, false, 192, "F22"},
    {0x86, 0x6E, false, 193, "F23"},
    {0x87, 0x76, false, 194, "F24"},

    // Above the navigation block. Pause arrives without and Num Lock with the extended
    // flag, although both share the scan code.
    {0x2C, 0x37, true, 99, "Prnt Scrn"},
    {0x91, 0x46, false, 70, "Scroll Lock"},
    {0x13, 0x45, false, 119, "Pause"},

    // The navigation block and the arrows (extended), each paired with a keypad key.
    {0x2D, 0x52, true, 110, "Insert"},
    {0x2E, 0x53, true, 111, "Delete"},
    {0x24, 0x47, true, 102, "Home"},
    {0x23, 0x4F, true, 107, "End"},
    {0x21, 0x49, true, 104, "Page Up"},
    {0x22, 0x51, true, 109, "Page Down"},
    {0x26, 0x48, true, 103, "Up"},
    {0x28, 0x50, true, 108, "Down"},
    {0x25, 0x4B, true, 105, "Left"},
    {0x27, 0x4D, true, 106, "Right"},

    // The keypad.
    {0x90, 0x45, true, 69, "Num Lock"},
    {0x6F, 0x35, true, 98, "Num /"},
    {0x6A, 0x37, false, 55, "Num *"},
    {0x6D, 0x4A, false, 74, "Num -"},
    {0x6B, 0x4E, false, 78, "Num +"},
    {0x0D, 0x1C, true, 96, "Num Enter"},
    {0x6E, 0x53, false, 83, "Num Del"},
    {0x60, 0x52, false, 82, "Num 0"},
    {0x61, 0x4F, false, 79, "Num 1"},
    {0x62, 0x50, false, 80, "Num 2"},
    {0x63, 0x51, false, 81, "Num 3"},
    {0x64, 0x4B, false, 75, "Num 4"},
    {0x65, 0x4C, false, 76, "Num 5"},
    {0x66, 0x4D, false, 77, "Num 6"},
    {0x67, 0x47, false, 71, "Num 7"},
    {0x68, 0x48, false, 72, "Num 8"},
    {0x69, 0x49, false, 73, "Num 9"},

    // Media and browser keys that have extended set-1 codes.
    {0xAD, 0x20, true, 113, "Mute"},
    {0xAE, 0x2E, true, 114, "Volume Down"},
    {0xAF, 0x30, true, 115, "Volume Up"},
    {0xB3, 0x22, true, 164, "Play/Pause"},
    {0xB2, 0x24, true, 166, "Stop"},
    {0xB1, 0x10, true, 165, "Previous Track"},
    {0xB0, 0x19, true, 163, "Next Track"},
    {0xB4, 0x6C, true, 155, "Mail"},
    {0xB5, 0x6D, true, 226, "Media"},
    {0xB6, 0x6B, true, 157, "My Computer"},
    {0xB7, 0x21, true, 140, "Calculator"},
    {0xA6, 0x6A, true, 158, "Browser Back"},
    {0xA7, 0x69, true, 159, "Browser Forward"},
    {0xA8, 0x67, true, 173, "Browser Refresh"},
    {0xA9, 0x68, true, 128, "Browser Stop"},
    {0xAA, 0x65, true, 217, "Browser Search"},
    {0xAB, 0x66, true, 156, "Browser Favorites"},
    {0xAC, 0x32, true, 172, "Browser Home"},
    {0x5F, 0x5F, true, 142, "Sleep"},
};

// Index tables built once: scan code x extended, evdev, virtual key.
constexpr uint16_t kNone = 0xFFFF;

struct Indexes {
  std::array<uint16_t, 512> byScan{};
  std::array<uint16_t, 256> byEvdev{};  // every evdev code of the table is below 256
  std::array<uint16_t, 256> byVirtualKey{};
};

constexpr Indexes BuildIndexes() {
  Indexes indexes{};
  indexes.byScan.fill(kNone);
  indexes.byEvdev.fill(kNone);
  indexes.byVirtualKey.fill(kNone);
  for (uint16_t i = 0; i < std::size(kKeys); ++i) {
    const KeyMapEntry& key = kKeys[i];
    indexes.byScan[key.ScanCode + (key.Extended ? 256 : 0)] = i;
    indexes.byEvdev[key.Evdev] = i;
    // The first key with a shared virtual key wins: the main-block one, listed first.
    if (indexes.byVirtualKey[key.VirtualKey] == kNone) indexes.byVirtualKey[key.VirtualKey] = i;
  }
  return indexes;
}
constexpr Indexes kIndexes = BuildIndexes();

const KeyMapEntry* At(uint16_t index) { return index == kNone ? nullptr : &kKeys[index]; }

}  // namespace

std::span<const KeyMapEntry> AllKeys() { return kKeys; }

const KeyMapEntry* FindKeyByScanCode(uint8_t scanCode, bool extended) {
  return At(kIndexes.byScan[scanCode + (extended ? 256 : 0)]);
}

const KeyMapEntry* FindKeyByEvdev(uint16_t evdev) {
  return evdev < kIndexes.byEvdev.size() ? At(kIndexes.byEvdev[evdev]) : nullptr;
}

const KeyMapEntry* FindKeyByVirtualKey(uint16_t virtualKey) {
  switch (virtualKey) {  // the sided modifier codes name their key directly
    case 0xA0: return FindKeyByScanCode(0x2A, false);
    case 0xA1: return FindKeyByScanCode(0x36, false);
    case 0xA2: return FindKeyByScanCode(0x1D, false);
    case 0xA3: return FindKeyByScanCode(0x1D, true);
    case 0xA4: return FindKeyByScanCode(0x38, false);
    case 0xA5: return FindKeyByScanCode(0x38, true);
    default: break;
  }
  return virtualKey < kIndexes.byVirtualKey.size() ? At(kIndexes.byVirtualKey[virtualKey]) : nullptr;
}

const KeyMapEntry* ResolveKey(uint16_t virtualKey, uint16_t scanCode, bool extended) {
  if (scanCode != 0 && scanCode <= 0xFF) {
    if (const KeyMapEntry* key = FindKeyByScanCode(static_cast<uint8_t>(scanCode), extended)) return key;
  }
  return FindKeyByVirtualKey(virtualKey);
}

std::string KeyNameFromFlags(uint32_t keyFlags) {
  const auto scanCode = static_cast<uint8_t>(keyFlags >> 16);
  const bool extended = (keyFlags >> 24) & 1;
  if (const KeyMapEntry* key = FindKeyByScanCode(scanCode, extended)) return key->Name;
  char text[16];
  std::snprintf(text, sizeof text, extended ? "Key E0 0x%02X" : "Key 0x%02X", scanCode);
  return text;
}

}  // namespace orvo
