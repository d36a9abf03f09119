#pragma once
// What the protocol and the MIDI ports need of the link to the surface: a blocking write
// for the program's own messages, and a queue for what applications send. The serial
// link implements it; tests use a recorder.
#include <cstdint>

namespace orvo {

class DeviceWriter {
 public:
  virtual ~DeviceWriter() = default;
  // True when all `count` bytes were written. Safe from every thread; blocks until the
  // write completes; false at once when no device is open.
  virtual bool WriteDevice(const uint8_t* bytes, uint32_t count) = 0;
  // One message an application sends to the surface. Never waits for the line: it goes
  // out whole, in order, at the line's pace; while the line is busy a lamp's queued value
  // gives way to a newer one. Lost when no device is open. Any thread. A writer without
  // a queue writes at once.
  virtual void QueueFeedback(const uint8_t* bytes, uint32_t count) { WriteDevice(bytes, count); }
  // A message for the surface was dropped before it could be queued (cut short, or too
  // long): counted and told with the queue's own drops. Any thread.
  virtual void DropFeedback() {}
};

}  // namespace orvo
