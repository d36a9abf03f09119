#pragma once
// Types keystrokes through the XTest extension on a connection of its own. The records
// carry the stored virtual-key and scan codes; the key map turns them into X keycodes,
// the extended flag choosing between an arrow and its keypad twin.
#include <cstdint>
#include <mutex>
#include <string>

#include "os/x11/x11_connection.h"
#include "platform/key_injector.h"
#include "platform/key_strokes.h"

namespace orvo {

class XTestInjector : public KeyInjector {
 public:
  // Opens its own connection to `displayName` ($DISPLAY when null).
  explicit XTestInjector(const char* displayName = nullptr);
  // Releases any key still held through this injector.
  ~XTestInjector() override;

  // Any thread.
  bool Available() const { return available_; }
  std::string Why() const { return why_; }

  // The read thread. Types the records in order and flushes once. A record whose key is
  // unknown types nothing of the whole call; keys the call pressed and did not release
  // are released at its end, so that no modifier stays down.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

  // Calls that typed nothing because a key was unknown. Any thread.
  uint32_t RejectedCalls() const;

 private:
  void ReleaseAllHeld();

  X11Connection connection_;
  bool available_ = false;
  std::string why_;
  int minKeycode_ = 8;
  int maxKeycode_ = 255;

  mutable std::mutex mutex_;  // SendInput on the read thread, the destructor on another
  KeyStrokes strokes_;
  uint32_t rejectedCalls_ = 0;
};

}  // namespace orvo
