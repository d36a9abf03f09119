#pragma once
// Types keystrokes on GNOME through Mutter's remote desktop service on the session bus:
// one session, created at start, kept for the driver's life and stopped at exit, all
// from one connection. Mutter drops a session's first key, so a Shift press and release
// go first. The keys are evdev codes; Mutter derives the modifiers from them.
#include <cstdint>
#include <mutex>
#include <string>

#include "os/wayland/session_bus.h"
#include "platform/key_injector.h"
#include "platform/key_strokes.h"

namespace orvo {

class MutterRemoteDesktopInjector : public KeyInjector {
 public:
  MutterRemoteDesktopInjector();
  ~MutterRemoteDesktopInjector() override;  // releases what is held, stops the session

  bool Available() const { return available_; }
  std::string Why() const { return why_; }

  // The read thread. As the other routes: nothing of a call with an unknown key, every
  // key released at the end of the call. The keys go out without waiting for answers.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

 private:
  bool SessionCall(const char* method, std::string* error);
  void Key(uint16_t evdev, bool down);

  SessionBus bus_;
  std::string session_;  // the session's object path
  bool available_ = false;
  std::string why_;
  std::mutex mutex_;
  KeyStrokes strokes_;
};

}  // namespace orvo
