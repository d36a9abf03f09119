#include "editor/key_event_codes.h"

#include <QGuiApplication>

namespace orvo {
namespace {

struct QtKeyRow {
  int qtKey;
  uint8_t scanCode;
  bool extended;
};

// Keys off the numeric pad. Shifted symbols share their key's row; the US layout decides.
constexpr QtKeyRow kMainKeys[] = {
    {Qt::Key_Escape, 0x01, false},
    {Qt::Key_1, 0x02, false}, {Qt::Key_Exclam, 0x02, false},
    {Qt::Key_2, 0x03, false}, {Qt::Key_At, 0x03, false},
    {Qt::Key_3, 0x04, false}, {Qt::Key_NumberSign, 0x04, false},
    {Qt::Key_4, 0x05, false}, {Qt::Key_Dollar, 0x05, false},
    {Qt::Key_5, 0x06, false}, {Qt::Key_Percent, 0x06, false},
    {Qt::Key_6, 0x07, false}, {Qt::Key_AsciiCircum, 0x07, false},
    {Qt::Key_7, 0x08, false}, {Qt::Key_Ampersand, 0x08, false},
    {Qt::Key_8, 0x09, false}, {Qt::Key_Asterisk, 0x09, false},
    {Qt::Key_9, 0x0A, false}, {Qt::Key_ParenLeft, 0x0A, false},
    {Qt::Key_0, 0x0B, false}, {Qt::Key_ParenRight, 0x0B, false},
    {Qt::Key_Minus, 0x0C, false}, {Qt::Key_Underscore, 0x0C, false},
    {Qt::Key_Equal, 0x0D, false}, {Qt::Key_Plus, 0x0D, false},
    {Qt::Key_Backspace, 0x0E, false},
    {Qt::Key_Tab, 0x0F, false}, {Qt::Key_Backtab, 0x0F, false},
    {Qt::Key_Q, 0x10, false}, {Qt::Key_W, 0x11, false}, {Qt::Key_E, 0x12, false},
    {Qt::Key_R, 0x13, false}, {Qt::Key_T, 0x14, false}, {Qt::Key_Y, 0x15, false},
    {Qt::Key_U, 0x16, false}, {Qt::Key_I, 0x17, false}, {Qt::Key_O, 0x18, false},
    {Qt::Key_P, 0x19, false},
    {Qt::Key_BracketLeft, 0x1A, false}, {Qt::Key_BraceLeft, 0x1A, false},
    {Qt::Key_BracketRight, 0x1B, false}, {Qt::Key_BraceRight, 0x1B, false},
    {Qt::Key_Return, 0x1C, false},
    {Qt::Key_Control, 0x1D, false},
    {Qt::Key_A, 0x1E, false}, {Qt::Key_S, 0x1F, false}, {Qt::Key_D, 0x20, false},
    {Qt::Key_F, 0x21, false}, {Qt::Key_G, 0x22, false}, {Qt::Key_H, 0x23, false},
    {Qt::Key_J, 0x24, false}, {Qt::Key_K, 0x25, false}, {Qt::Key_L, 0x26, false},
    {Qt::Key_Semicolon, 0x27, false}, {Qt::Key_Colon, 0x27, false},
    {Qt::Key_Apostrophe, 0x28, false}, {Qt::Key_QuoteDbl, 0x28, false},
    {Qt::Key_QuoteLeft, 0x29, false}, {Qt::Key_AsciiTilde, 0x29, false},
    {Qt::Key_Shift, 0x2A, false},
    {Qt::Key_Backslash, 0x2B, false}, {Qt::Key_Bar, 0x2B, false},
    {Qt::Key_Z, 0x2C, false}, {Qt::Key_X, 0x2D, false}, {Qt::Key_C, 0x2E, false},
    {Qt::Key_V, 0x2F, false}, {Qt::Key_B, 0x30, false}, {Qt::Key_N, 0x31, false},
    {Qt::Key_M, 0x32, false},
    {Qt::Key_Comma, 0x33, false}, {Qt::Key_Less, 0x33, false},
    {Qt::Key_Period, 0x34, false}, {Qt::Key_Greater, 0x34, false},
    {Qt::Key_Slash, 0x35, false}, {Qt::Key_Question, 0x35, false},
    {Qt::Key_Alt, 0x38, false},
    {Qt::Key_Space, 0x39, false},
    {Qt::Key_CapsLock, 0x3A, false},
    {Qt::Key_AltGr, 0x38, true},
    {Qt::Key_Meta, 0x5B, true}, {Qt::Key_Super_L, 0x5B, true}, {Qt::Key_Super_R, 0x5C, true},
    {Qt::Key_Menu, 0x5D, true},
    {Qt::Key_F1, 0x3B, false}, {Qt::Key_F2, 0x3C, false}, {Qt::Key_F3, 0x3D, false},
    {Qt::Key_F4, 0x3E, false}, {Qt::Key_F5, 0x3F, false}, {Qt::Key_F6, 0x40, false},
    {Qt::Key_F7, 0x41, false}, {Qt::Key_F8, 0x42, false}, {Qt::Key_F9, 0x43, false},
    {Qt::Key_F10, 0x44, false}, {Qt::Key_F11, 0x57, false}, {Qt::Key_F12, 0x58, false},
    {Qt::Key_F13, 0x64, false}, {Qt::Key_F14, 0x65, false}, {Qt::Key_F15, 0x66, false},
    {Qt::Key_F16, 0x67, false}, {Qt::Key_F17, 0x68, false}, {Qt::Key_F18, 0x69, false},
    {Qt::Key_F19, 0x6A, false}, {Qt::Key_F20, 0x6B, false}, {Qt::Key_F21, 0x6C, false},
    {Qt::Key_F22, 0x6D, false}, {Qt::Key_F23, 0x6E, false}, {Qt::Key_F24, 0x76, false},
    {Qt::Key_Print, 0x37, true}, {Qt::Key_ScrollLock, 0x46, false}, {Qt::Key_Pause, 0x45, false},
    {Qt::Key_Insert, 0x52, true}, {Qt::Key_Delete, 0x53, true},
    {Qt::Key_Home, 0x47, true}, {Qt::Key_End, 0x4F, true},
    {Qt::Key_PageUp, 0x49, true}, {Qt::Key_PageDown, 0x51, true},
    {Qt::Key_Up, 0x48, true}, {Qt::Key_Down, 0x50, true},
    {Qt::Key_Left, 0x4B, true}, {Qt::Key_Right, 0x4D, true},
    {Qt::Key_NumLock, 0x45, true},
    {Qt::Key_Enter, 0x1C, true},
    {Qt::Key_VolumeMute, 0x20, true}, {Qt::Key_VolumeDown, 0x2E, true}, {Qt::Key_VolumeUp, 0x30, true},
    {Qt::Key_MediaTogglePlayPause, 0x22, true}, {Qt::Key_MediaPlay, 0x22, true},
    {Qt::Key_MediaStop, 0x24, true}, {Qt::Key_MediaPrevious, 0x10, true}, {Qt::Key_MediaNext, 0x19, true},
    {Qt::Key_LaunchMail, 0x6C, true}, {Qt::Key_LaunchMedia, 0x6D, true}, {Qt::Key_Launch0, 0x6B, true},
    {Qt::Key_Calculator, 0x21, true},
    {Qt::Key_Back, 0x6A, true}, {Qt::Key_Forward, 0x69, true}, {Qt::Key_Refresh, 0x67, true},
    {Qt::Key_Stop, 0x68, true}, {Qt::Key_Search, 0x65, true}, {Qt::Key_Favorites, 0x66, true},
    {Qt::Key_HomePage, 0x32, true}, {Qt::Key_Sleep, 0x5F, true},
};

// Keys of the numeric pad, with Num Lock on (digits) and off (navigation): one physical
// key either way, as the native key number has it.
constexpr QtKeyRow kKeypadKeys[] = {
    {Qt::Key_0, 0x52, false}, {Qt::Key_Insert, 0x52, false},
    {Qt::Key_1, 0x4F, false}, {Qt::Key_End, 0x4F, false},
    {Qt::Key_2, 0x50, false}, {Qt::Key_Down, 0x50, false},
    {Qt::Key_3, 0x51, false}, {Qt::Key_PageDown, 0x51, false},
    {Qt::Key_4, 0x4B, false}, {Qt::Key_Left, 0x4B, false},
    {Qt::Key_5, 0x4C, false}, {Qt::Key_Clear, 0x4C, false},
    {Qt::Key_6, 0x4D, false}, {Qt::Key_Right, 0x4D, false},
    {Qt::Key_7, 0x47, false}, {Qt::Key_Home, 0x47, false},
    {Qt::Key_8, 0x48, false}, {Qt::Key_Up, 0x48, false},
    {Qt::Key_9, 0x49, false}, {Qt::Key_PageUp, 0x49, false},
    {Qt::Key_Period, 0x53, false}, {Qt::Key_Comma, 0x53, false}, {Qt::Key_Delete, 0x53, false},
    {Qt::Key_Slash, 0x35, true},
    {Qt::Key_Asterisk, 0x37, false},
    {Qt::Key_Minus, 0x4A, false},
    {Qt::Key_Plus, 0x4E, false},
    {Qt::Key_Enter, 0x1C, true},
    {Qt::Key_NumLock, 0x45, true},
};

template <std::size_t N>
const KeyMapEntry* FindIn(const QtKeyRow (&rows)[N], int qtKey) {
  for (const QtKeyRow& row : rows)
    if (row.qtKey == qtKey) return FindKeyByScanCode(row.scanCode, row.extended);
  return nullptr;
}

}  // namespace

NativeKeycodes NativeKeycodesOfPlatform() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) return NativeKeycodes::kXkb;
  return NativeKeycodes::kUnknown;
}

const KeyMapEntry* FindKeyByQtKey(int qtKey, bool keypad) {
  if (keypad) {
    if (const KeyMapEntry* key = FindIn(kKeypadKeys, qtKey)) return key;
  }
  return FindIn(kMainKeys, qtKey);
}

std::optional<CapturedKey> CaptureFromKeyEvent(const QKeyEvent& event, NativeKeycodes native) {
  const KeyMapEntry* key = nullptr;
  const quint32 nativeCode = event.nativeScanCode();
  if (native == NativeKeycodes::kXkb && nativeCode > kX11KeycodeOffset && nativeCode <= 0xFFFF)
    key = FindKeyByEvdev(EvdevFromX11Keycode(nativeCode));
  if (key == nullptr) key = FindKeyByQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
  if (key == nullptr) return std::nullopt;
  return CapturedKey{key->VirtualKey, key->ScanCode | (key->Extended ? kFlagsWordExtended : 0u)};
}

}  // namespace orvo
