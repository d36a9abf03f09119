#pragma once
// The last value an application wrote to each of the surface's lamps, so that the lamp
// burst on a switch to that application's Keyset lights again what it had lit. One per
// Keyset; kept as long as the program runs.
//
// Threads: Remember runs on a MIDI thread (the Keyset's input handler) and never
// allocates, blocks or locks; ValueOf runs on the focus finder thread. Every slot is an
// atomic byte.
#include <array>
#include <atomic>
#include <cstdint>

#include "protocol/device_modes.h"

namespace orvo {

class LampMemory {
 public:
  // Takes a short message an application sent to the surface: a write to a lamp
  // address is remembered, anything else is left alone.
  void Remember(uint8_t status, uint8_t number, uint8_t value) {
    const int slot = LampSlot(status, number);
    if (slot >= 0) values_[static_cast<std::size_t>(slot)].store(value, std::memory_order_relaxed);
  }
  // The value last written to the lamp of message `slot` of the lamp burst; 0 when none.
  uint8_t ValueOf(std::size_t slot) const { return values_[slot].load(std::memory_order_relaxed); }

 private:
  std::array<std::atomic<uint8_t>, kLampMessageCount> values_{};
};

}  // namespace orvo
