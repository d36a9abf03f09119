#pragma once
// The header of a long-message (system-exclusive) buffer: the buffer's data, its
// capacity, the valid bytes, the pool it belongs to and its state flags.
#include <cstdint>

namespace orvo {

class SysExPool;

inline constexpr uint32_t kMidiHeaderDone = 0x1;      // the platform has finished with it
inline constexpr uint32_t kMidiHeaderPrepared = 0x2;  // prepared on a port
inline constexpr uint32_t kMidiHeaderInQueue = 0x4;   // queued on an input port

struct MidiHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;
  uint32_t bytesRecorded = 0;
  SysExPool* owner = nullptr;
  uint32_t flags = 0;  // kMidiHeader*
};

}  // namespace orvo
