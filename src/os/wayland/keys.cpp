#include "os/wayland/keys.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <virtual-keyboard-unstable-v1-client-protocol.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/key_map.h"

namespace orvo {
namespace {

constexpr uint32_t kKeymapFormatXkbV1 = 1;  // as wl_keyboard's keymap format

uint32_t NowMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

VirtualKeyboardInjector::VirtualKeyboardInjector(const char* displayName) : connection_(displayName) {
  const std::string off = ": the surface's keystrokes are not typed into Wayland windows.";
  if (!connection_.display() || !connection_.why().empty()) {
    why_ = connection_.why() + off;
    return;
  }
  seat_ = static_cast<wl_seat*>(connection_.Bind(&wl_seat_interface, 1));
  manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
      connection_.Bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
  if (!seat_ || !manager_) {
    why_ = "The Wayland compositor on \"" + connection_.name() + "\" offers no " +
           (seat_ ? "virtual keyboard" : "seat") + off;
    return;
  }
  keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
  if (!UploadKeymap()) {
    why_ = "The keyboard map for Wayland could not be made" + off;
    return;
  }
  // The compositor refuses an unauthorised client with a protocol error: the round trip
  // shows it.
  if (!connection_.RoundTrip() || connection_.Broken()) {
    why_ = "The Wayland compositor on \"" + connection_.name() + "\" refused a virtual keyboard" + off;
    return;
  }
  connection_.Watch();
  available_ = true;
}

VirtualKeyboardInjector::~VirtualKeyboardInjector() {
  {
    std::lock_guard lock(mutex_);
    if (available_ && strokes_.AnyDown()) {
      strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
      connection_.Flush();
    }
  }
  if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
  if (manager_) zwp_virtual_keyboard_manager_v1_destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
  connection_.Flush();
  if (state_) xkb_state_unref(state_);
  if (keymap_) xkb_keymap_unref(keymap_);
  if (context_) xkb_context_unref(context_);
}

// The standard evdev keyboard with the US layout: every key of the key map has its
// keycode there, and the keys name what Keyset files were recorded with.
bool VirtualKeyboardInjector::UploadKeymap() {
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (!context_) return false;
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap_) return false;
  state_ = xkb_state_new(keymap_);
  char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!state_ || !text) return false;
  const size_t size = std::strlen(text) + 1;  // the terminating NUL goes with it
  const int fd = memfd_create("orvo-keymap", MFD_CLOEXEC);
  const bool written = fd >= 0 && write(fd, text, size) == static_cast<ssize_t>(size);
  std::free(text);
  if (written) zwp_virtual_keyboard_v1_keymap(keyboard_, kKeymapFormatXkbV1, fd, static_cast<uint32_t>(size));
  if (fd >= 0) close(fd);  // the request carries its own copy of the descriptor
  firstEvdev_ = EvdevFromX11Keycode(xkb_keymap_min_keycode(keymap_));
  lastEvdev_ = EvdevFromX11Keycode(xkb_keymap_max_keycode(keymap_));
  return written;
}

// One key, then the modifier state it leaves, when it changed it.
void VirtualKeyboardInjector::Key(uint16_t evdev, bool down) {
  zwp_virtual_keyboard_v1_key(keyboard_, NowMilliseconds(), evdev,
                              down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  const xkb_state_component changed = xkb_state_update_key(state_, X11KeycodeFromEvdev(evdev), down ? XKB_KEY_DOWN : XKB_KEY_UP);
  if (changed & (XKB_STATE_MODS_EFFECTIVE | XKB_STATE_LAYOUT_EFFECTIVE))
    zwp_virtual_keyboard_v1_modifiers(keyboard_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
}

void VirtualKeyboardInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!available_ || count == 0) return;
  if (!strokes_.Plan(inputs, count, firstEvdev_, lastEvdev_)) return;
  for (const KeyStrokes::Step& step : strokes_.Steps()) {
    Key(step.evdev, step.down);
    strokes_.Typed(step);
  }
  if (strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
  connection_.Flush();
}

}  // namespace orvo
