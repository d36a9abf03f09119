#pragma once
// Types keystrokes on Wayland through one virtual keyboard of the compositor's seat,
// created at start and kept for the driver's life: the seat has no keyboard for clients
// until one exists, and keys sent just after creating it can be lost. Its keymap is the
// standard evdev keyboard, so the key map's evdev codes name the same keys as on X11;
// the modifier state is sent explicitly, since the compositor does not derive it.
#include <cstdint>
#include <mutex>
#include <string>

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

  // Any thread.
  bool Available() const { return available_; }
  std::string Why() const { return why_; }

  // The read thread. Types the records in order and flushes once; a record whose key is
  // unknown types nothing of the whole call; what the call left pressed is released at
  // its end.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

 private:
  bool UploadKeymap();
  void Key(uint16_t evdev, bool down);

  WaylandConnection connection_;
  bool available_ = false;
  std::string why_;
  wl_seat* seat_ = nullptr;
  zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  uint16_t firstEvdev_ = 1;
  uint16_t lastEvdev_ = 0;

  std::mutex mutex_;  // SendInput on the read thread, the destructor on another
  xkb_state* state_ = nullptr;
  KeyStrokes strokes_;
};

}  // namespace orvo
