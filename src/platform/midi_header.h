#pragma once
// The header of a long-message (system-exclusive) buffer, shaped like the platform
// MIDI header: the buffer's data, its capacity, the valid bytes and the owner's word.
#include <cstdint>

namespace orvo {

inline constexpr uint32_t kMidiHeaderDone = 0x1;      // the platform has finished with it
inline constexpr uint32_t kMidiHeaderPrepared = 0x2;  // prepared on a port
inline constexpr uint32_t kMidiHeaderInQueue = 0x4;   // queued on an input port

struct MidiHeader {
  uint8_t* lpData = nullptr;
  uint32_t dwBufferLength = 0;
  uint32_t dwBytesRecorded = 0;
  std::uintptr_t dwUser = 0;  // the owning pool
  uint32_t dwFlags = 0;
  std::uintptr_t reserved = 0;  // for the MIDI system's own bookkeeping
};

}  // namespace orvo
