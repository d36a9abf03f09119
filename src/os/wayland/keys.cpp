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

struct VirtualKeyboardInjector::Keyboard {
  explicit Keyboard(const std::string& displayName) : connection(displayName.empty() ? nullptr : displayName.c_str()) {}
  ~Keyboard() {
    connection.StopWatching();
    if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (manager) zwp_virtual_keyboard_manager_v1_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    connection.Flush();
  }
  WaylandConnection connection;
  wl_seat* seat = nullptr;
  zwp_virtual_keyboard_manager_v1* manager = nullptr;
  zwp_virtual_keyboard_v1* keyboard = nullptr;
};

VirtualKeyboardInjector::VirtualKeyboardInjector(const char* displayName)
    : reconnect_([this] { return Reconnect(); }) {
  const char* display = displayName ? displayName : std::getenv("WAYLAND_DISPLAY");
  displayName_ = display ? display : "";
  if (!MakeKeymap()) {
    why_ = "The keyboard map for Wayland could not be made: the surface's keystrokes are not typed into Wayland windows.";
    return;
  }
  keyboard_ = Connect(&why_);
  available_ = keyboard_ != nullptr;
}

VirtualKeyboardInjector::~VirtualKeyboardInjector() {
  reconnect_.Stop();
  std::unique_ptr<Keyboard> keyboard;
  {
    std::lock_guard lock(mutex_);
    if (keyboard_ && !lost_ && strokes_.AnyDown()) {
      strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
      keyboard_->connection.Flush();
    }
    keyboard = std::move(keyboard_);
  }
  keyboard.reset();  // outside the lock: its watch thread may be waiting for it
  if (state_) xkb_state_unref(state_);
  if (keymap_) xkb_keymap_unref(keymap_);
  if (context_) xkb_context_unref(context_);
}

bool VirtualKeyboardInjector::Connected() const {
  std::lock_guard lock(mutex_);
  return keyboard_ && !lost_;
}

std::string VirtualKeyboardInjector::Why() const {
  std::lock_guard lock(mutex_);
  if (available_ && lost_)
    return "the Wayland compositor on " + displayName_ + " went away; keystrokes are typed again when it comes back";
  return why_;
}

std::unique_ptr<VirtualKeyboardInjector::Keyboard> VirtualKeyboardInjector::Connect(std::string* why) {
  const std::string off = ": the surface's keystrokes are not typed into Wayland windows.";
  auto made = std::make_unique<Keyboard>(displayName_);
  WaylandConnection& connection = made->connection;
  if (!connection.display() || !connection.why().empty()) {
    *why = connection.why() + off;
    return nullptr;
  }
  made->seat = static_cast<wl_seat*>(connection.Bind(&wl_seat_interface, 1));
  made->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
      connection.Bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
  if (!made->seat || !made->manager) {
    *why = "The Wayland compositor on \"" + connection.name() + "\" offers no " +
           (made->seat ? "virtual keyboard" : "seat") + off;
    return nullptr;
  }
  made->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(made->manager, made->seat);
  const int fd = memfd_create("orvo-keymap", MFD_CLOEXEC);
  const bool written = fd >= 0 && write(fd, keymapText_.c_str(), keymapText_.size() + 1) ==
                                      static_cast<ssize_t>(keymapText_.size() + 1);  // with its NUL
  if (written)
    zwp_virtual_keyboard_v1_keymap(made->keyboard, kKeymapFormatXkbV1, fd, static_cast<uint32_t>(keymapText_.size() + 1));
  if (fd >= 0) close(fd);  // the request carries its own copy of the descriptor
  // The compositor refuses an unauthorised client with a protocol error: the round trip
  // shows it.
  if (!written || !connection.RoundTrip() || connection.Broken()) {
    *why = "The Wayland compositor on \"" + connection.name() + "\" refused a virtual keyboard" + off;
    return nullptr;
  }
  connection.Watch([this] { Lost(); });
  return made;
}

void VirtualKeyboardInjector::Lost() {
  {
    std::lock_guard lock(mutex_);
    lost_ = true;
    strokes_.ReleaseAll([](uint16_t) {});  // gone with the keyboard that held them
  }
  reconnect_.Start();
}

bool VirtualKeyboardInjector::Reconnect() {
  std::string why;
  std::unique_ptr<Keyboard> made = Connect(&why);
  if (!made) return false;
  {
    std::lock_guard lock(mutex_);
    std::swap(keyboard_, made);  // the old one goes below, outside the lock
    lost_ = false;
    xkb_state* fresh = xkb_state_new(keymap_);  // the new keyboard starts with nothing down
    if (fresh) {
      xkb_state_unref(state_);
      state_ = fresh;
    }
  }
  return true;
}

// The standard evdev keyboard with the US layout: every key of the key map has its
// keycode there, and the keys name what Keyset files were recorded with.
bool VirtualKeyboardInjector::MakeKeymap() {
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (!context_) return false;
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap_) return false;
  state_ = xkb_state_new(keymap_);
  char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!state_ || !text) return false;
  keymapText_ = text;
  std::free(text);
  firstEvdev_ = EvdevFromX11Keycode(xkb_keymap_min_keycode(keymap_));
  lastEvdev_ = EvdevFromX11Keycode(xkb_keymap_max_keycode(keymap_));
  return true;
}

// One key, then the modifier state it leaves, when it changed it. Under the lock.
void VirtualKeyboardInjector::Key(uint16_t evdev, bool down) {
  zwp_virtual_keyboard_v1* keyboard = keyboard_->keyboard;
  zwp_virtual_keyboard_v1_key(keyboard, NowMilliseconds(), evdev,
                              down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  const xkb_state_component changed = xkb_state_update_key(state_, X11KeycodeFromEvdev(evdev), down ? XKB_KEY_DOWN : XKB_KEY_UP);
  if (changed & (XKB_STATE_MODS_EFFECTIVE | XKB_STATE_LAYOUT_EFFECTIVE))
    zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
}

void VirtualKeyboardInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!keyboard_ || lost_ || count == 0) return;
  if (!strokes_.Plan(inputs, count, firstEvdev_, lastEvdev_)) return;
  for (const KeyStrokes::Step& step : strokes_.Steps()) {
    Key(step.evdev, step.down);
    strokes_.Typed(step);
  }
  if (strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
  keyboard_->connection.Flush();
}

}  // namespace orvo
