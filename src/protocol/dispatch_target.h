#pragma once
// Where the reader hands every complete message: the event dispatch of the mapping
// engine. Both calls run on the read thread.
#include <cstdint>

#include "platform/midi_header.h"
#include "protocol/control_table.h"

namespace orvo {

class DispatchTarget {
 public:
  virtual ~DispatchTarget() = default;
  // `row` is the resolved control (Host mode only), or nullptr. 0: taken; non-zero:
  // refused for now (the focus record was busy), offer it again.
  virtual int DispatchShortMessage(const ControlDescriptor* row, uint32_t message) = 0;
  // `buffer` is a pool buffer holding one whole system-exclusive message. 0: taken
  // (dispatch owns the buffer now); 1: busy; 2: the MIDI output refused it. On non-zero
  // the buffer is still the caller's.
  virtual int DispatchLongMessage(MidiHeader* buffer) = 0;
};

}  // namespace orvo
