#pragma once
// Types keystrokes on Wayland through one virtual keyboard of the compositor's seat,
// created at start and kept for the driver's life: the seat has no keyboard for clients
// until one exists, and keys sent just after creating it can be lost. Its keymap is the
// standard evdev keyboard, so the key map's evdev codes name the same keys as on X11;
// the modifier state is sent explicitly, since the compositor does not derive it.
// When the compositor goes away nothing is typed, and a new keyboard is made when a
// compositor comes back on the same display name.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "os/wayland/reconnect_timer.h"
#include "os/wayland/wayland_connection.h"
#include "platform/key_injector.h"
#include "platform/key_strokes.h"

struct wl_seat;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace orvo {

class VirtualKeyboardInjector : public KeyInjector {
 public:
  // Opens its own connection to `displayName` ($WAYLAND_DISPLAY when null).
  explicit VirtualKeyboardInjector(const char* displayName = nullptr);
  // Releases any key still held, then lets the keyboard go.
  ~VirtualKeyboardInjector() override;

  // Whether the compositor gave a keyboard at start. Any thread.
  bool Available() const { return available_; }
  // Whether keys can be typed now (the compositor is there). Any thread.
  bool Connected() const;
  // Why keys are not typed, at start or now. Any thread.
  std::string Why() const;

  // The read thread. Types the records in order and flushes once; a record whose key is
  // unknown types nothing of the whole call; what the call left pressed is released at
  // its end.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

 private:
  struct Keyboard;  // one connection's virtual keyboard
  std::unique_ptr<Keyboard> Connect(std::string* why);  // the constructor, then the timer's thread
  bool Reconnect();                                      // the timer's thread
  void Lost();                                           // the keyboard's watch thread
  bool MakeKeymap();
  void Key(uint16_t evdev, bool down);

  std::string displayName_;
  bool available_ = false;
  std::string why_;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  std::string keymapText_;
  uint16_t firstEvdev_ = 1;
  uint16_t lastEvdev_ = 0;

  mutable std::mutex mutex_;  // SendInput on the read thread, the timer and the destructor on others
  std::unique_ptr<Keyboard> keyboard_;
  bool lost_ = false;
  xkb_state* state_ = nullptr;
  KeyStrokes strokes_;
  ReconnectTimer reconnect_;
};

}  // namespace orvo
