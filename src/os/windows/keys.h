#pragma once
// Types keystrokes with SendInput, the records as Keyset files store them: the virtual-key
// code, the scan code and the extended flag. A record without a scan code (the modifiers
// the dispatch adds) takes its key's from the key map, so that the receiving window sees
// the scan code in its messages as from a keyboard.
#include <atomic>
#include <cstdint>

#include "platform/key_injector.h"

namespace orvo {

class SendInputInjector : public KeyInjector {
 public:
  // The read thread: one SendInput call for up to 32 records, nothing allocated.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override;

  // Records the system refused to type (another desktop in front, a locked screen).
  uint32_t RefusedInputs() const { return refused_.load(std::memory_order_relaxed); }

 private:
  std::atomic<uint32_t> refused_{0};
};

}  // namespace orvo
