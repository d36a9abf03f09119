#pragma once
// Types keystrokes on KDE Plasma through KWin's fake input protocol, on a connection of
// its own. KWin offers it only to a program whose installed desktop file grants it
// (X-KDE-Wayland-Interfaces, with the program's absolute path in Exec). KWin derives the
// modifier state from the keys, so the modifiers are pressed as keys, as on X11.
#include <cstdint>
#include <mutex>
#include <string>

#include "os/wayland/wayland_connection.h"
#include "platform/key_injector.h"
#include "platform/key_strokes.h"

struct org_kde_kwin_fake_input;

namespace orvo {

// The desktop-file key that grants the protocols this program needs on KDE Plasma.
inline constexpr const char* kKdeWaylandGrant =
    "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management";

class KwinFakeInputInjector : public KeyInjector {
 public:
  // Opens its own connection to `displayName` ($WAYLAND_DISPLAY when null).
  explicit KwinFakeInputInjector(const char* displayName = nullptr);
  ~KwinFakeInputInjector() override;  // releases what is still held

  // Whether KWin offered fake input (the grant is there). Any thread.
  bool Available() const { return available_; }
  std::string Why() const { return why_; }

  // The read thread. As the other routes: nothing of a call with an unknown key, every
  // key released at the end of the call.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

 private:
  void Key(uint16_t evdev, bool down);

  WaylandConnection connection_;
  org_kde_kwin_fake_input* input_ = nullptr;
  bool available_ = false;
  std::string why_;
  std::mutex mutex_;  // SendInput on the read thread, the destructor on another
  KeyStrokes strokes_;
};

// The one command that grants this program (at `executable`) fake input on KDE Plasma:
// a desktop file of the user's own.
std::string KdeGrantCommand(const std::string& executable);

}  // namespace orvo
