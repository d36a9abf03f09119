#pragma once
// What the protocol needs of the link to the surface: one blocking write and a purge.
// The serial link implements it; tests use a recorder.
#include <cstdint>

namespace orvo {

class DeviceWriter {
 public:
  virtual ~DeviceWriter() = default;
  // True when all `count` bytes were written. Safe from every thread; blocks until the
  // write completes; false at once when no device is open.
  virtual bool WriteDevice(const uint8_t* bytes, uint32_t count) = 0;
  // Aborts and clears both directions of the bridge; nothing when no device is open.
  virtual void PurgeDevice() = 0;
};

}  // namespace orvo
