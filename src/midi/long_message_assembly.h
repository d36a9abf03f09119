#pragma once
// The pieces of one system-exclusive message from an application, put together again:
// the MIDI system hands a long message over in buffers of a few bytes, and the surface
// must get it in one write, with nothing of another writer inside. Pieces of one port
// come in order on the MIDI system's thread; one assembly per input port. Never
// allocates after construction.
#include <cstdint>
#include <vector>

#include "link/feedback_queue.h"
#include "protocol/device_writer.h"

namespace orvo {

class LongMessageAssembly {
 public:
  static constexpr uint32_t kLongest = FeedbackQueue::kLongestMessage;

  LongMessageAssembly() { bytes_.reserve(kLongest); }

  // One finished input buffer. A whole message goes to `surface` once its last piece
  // (the one with the end byte) is in; one cut short (a new start before its end) or
  // longer than kLongest is dropped whole and counted there. Bytes outside a
  // system-exclusive message go on as they came.
  void Take(const uint8_t* piece, uint32_t count, DeviceWriter& surface);

 private:
  std::vector<uint8_t> bytes_;
  bool open_ = false;      // a start came, its end not yet
  bool tooLong_ = false;   // the open message is dropped at its end
};

}  // namespace orvo
