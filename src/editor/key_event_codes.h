#pragma once
// What a key-down in the editor's key box stores: the key's Windows virtual-key code and
// its keyboard flags word (set-1 scan code in bits 0-7, extended-key flag in bit 8),
// found through the shared key map so that a Keyset made here types the same physical
// key on any platform.
#include <QKeyEvent>

#include <cstdint>
#include <optional>

#include "platform/key_map.h"

namespace orvo {

inline constexpr uint32_t kFlagsWordExtended = 0x100;

struct CapturedKey {
  uint16_t virtualKey;
  uint32_t flagsWord;
};

// How the windowing system numbers keys in QKeyEvent::nativeScanCode().
enum class NativeKeycodes {
  kUnknown,  // no usable number (offscreen, ...): the Qt key code decides
  kXkb,      // X11 and Wayland: the evdev code + 8
};

// The numbering of the platform Qt runs on.
NativeKeycodes NativeKeycodesOfPlatform();

// The physical key a Qt key code stands for on a US keyboard; `keypad` for keys of the
// numeric pad (Qt::KeypadModifier). Shifted symbols give their key ("!" is the 1 key).
const KeyMapEntry* FindKeyByQtKey(int qtKey, bool keypad);

// The stored form of a key event: the native key number when the platform gives one the
// key map knows, else the Qt key code. Nothing for a key the key map does not know.
std::optional<CapturedKey> CaptureFromKeyEvent(const QKeyEvent& event, NativeKeycodes native);

}  // namespace orvo
