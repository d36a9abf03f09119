#pragma once
// Where the reader hands every complete message: the event dispatch of the mapping
// engine. Both calls run on the read thread.
#include <cstdint>

#include "platform/midi_header.h"
#include "protocol/control_table.h"

namespace orvo {

// What became of a message offered to the dispatch.
enum class DispatchResult : uint8_t {
  kTaken,    // done with; a long message's buffer belongs to the dispatch now
  kBusy,     // the focus record was busy: nothing done, offer it again
  kRefused,  // long messages only: the MIDI output refused it
};

class DispatchTarget {
 public:
  virtual ~DispatchTarget() = default;
  // `row` is the resolved control (Host mode only), or nullptr. Taken or busy.
  virtual DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t message) = 0;
  // `buffer` is a pool buffer holding one whole system-exclusive message. Unless taken
  // the buffer is still the caller's.
  virtual DispatchResult DispatchLongMessage(MidiHeader* buffer) = 0;
  // Asked when no buffer is free: true when a long message would go nowhere now (no
  // output to send it to), so that it is done with without a buffer. False when it
  // would be sent, or when that cannot be told now.
  virtual bool LongMessageGoesNowhere() { return false; }
};

}  // namespace orvo
