#pragma once
// The host's MIDI system, shaped like a device-numbered MIDI API: outputs and inputs are
// counted and named, opened by number with a handler, and report back through the
// handler on the MIDI system's own threads. Handles are opaque numbers; 0 is
// no handle. Every call but the counts returns a result code, 0 for success.
#include <cstdint>
#include <string>

#include "platform/midi_header.h"

namespace orvo {

using MidiResult = uint32_t;
inline constexpr MidiResult kMidiNoError = 0;
inline constexpr MidiResult kMidiError = 1;          // unspecified failure of the MIDI system
inline constexpr MidiResult kMidiBadDeviceId = 2;
inline constexpr MidiResult kMidiAllocated = 4;
inline constexpr MidiResult kMidiInvalidHandle = 5;
inline constexpr MidiResult kMidiNoMemory = 7;
inline constexpr MidiResult kMidiInvalidFlag = 10;
inline constexpr MidiResult kMidiInvalidParam = 11;
inline constexpr MidiResult kMidiUnprepared = 64;    // header not prepared on the port
inline constexpr MidiResult kMidiStillPlaying = 65;

using MidiOutHandle = std::uintptr_t;
using MidiInHandle = std::uintptr_t;
inline constexpr std::uintptr_t kNoMidiHandle = 0;

// Handler messages.
inline constexpr uint32_t kMimOpen = 0x3C1;
inline constexpr uint32_t kMimClose = 0x3C2;
inline constexpr uint32_t kMimData = 0x3C3;       // param1: the short message
inline constexpr uint32_t kMimLongData = 0x3C4;   // param1: the MidiHeader*
inline constexpr uint32_t kMimError = 0x3C5;
inline constexpr uint32_t kMimLongError = 0x3C6;
inline constexpr uint32_t kMomOpen = 0x3C7;
inline constexpr uint32_t kMomClose = 0x3C8;
inline constexpr uint32_t kMomDone = 0x3C9;       // param1: the MidiHeader*
inline constexpr uint32_t kMimMoreData = 0x3CC;

// What a port reports back. Called on the MIDI system's threads (never on the caller's
// thread for data and completions); must not allocate. `handle` is the port's handle,
// `message` one of the handler messages above.
class MidiHandler {
 public:
  virtual ~MidiHandler() = default;
  virtual void OnMidiMessage(std::uintptr_t handle, uint32_t message, std::uintptr_t param1) = 0;
};

// True when two device names are the same but for case, as stored names are compared.
bool SameDeviceName(const std::string& a, const std::string& b);

class MidiSystem {
 public:
  virtual ~MidiSystem() = default;

  virtual uint32_t OutDeviceCount() = 0;
  virtual uint32_t InDeviceCount() = 0;
  // The device's name, stable across restarts, so that a stored name opens it again.
  virtual MidiResult OutDeviceName(uint32_t device, std::string& name) = 0;
  virtual MidiResult InDeviceName(uint32_t device, std::string& name) = 0;

  // `handler` (may be null) outlives the port.
  virtual MidiResult OutOpen(MidiOutHandle& handle, uint32_t device, MidiHandler* handler) = 0;
  virtual MidiResult OutShortMessage(MidiOutHandle handle, uint32_t message) = 0;
  virtual MidiResult OutPrepareHeader(MidiOutHandle handle, MidiHeader* header) = 0;
  // Sends header->bufferLength bytes; the handler gets kMomDone when it is finished.
  virtual MidiResult OutLongMessage(MidiOutHandle handle, MidiHeader* header) = 0;
  virtual MidiResult OutUnprepareHeader(MidiOutHandle handle, MidiHeader* header) = 0;
  // Hands back every long message still queued (kMomDone) before it returns.
  virtual MidiResult OutReset(MidiOutHandle handle) = 0;
  virtual MidiResult OutClose(MidiOutHandle handle) = 0;

  virtual MidiResult InOpen(MidiInHandle& handle, uint32_t device, MidiHandler* handler,
                            bool statusMessages) = 0;
  virtual MidiResult InPrepareHeader(MidiInHandle handle, MidiHeader* header) = 0;
  virtual MidiResult InUnprepareHeader(MidiInHandle handle, MidiHeader* header) = 0;
  // Queues an empty buffer for incoming long messages; it comes back with kMimLongData.
  virtual MidiResult InAddBuffer(MidiInHandle handle, MidiHeader* header) = 0;
  virtual MidiResult InStart(MidiInHandle handle) = 0;
  // Hands back every queued buffer (kMimLongData, bytesRecorded 0) before it returns.
  virtual MidiResult InReset(MidiInHandle handle) = 0;
  virtual MidiResult InClose(MidiInHandle handle) = 0;

  // Opens the device with this stored name (compared ignoring case) and gives the port of
  // our own that connects to it the name `ownPort`, where the system's ports have names.
  // As given here: the device is looked up in the lists and opened by number, and a device
  // that is not listed gives kMidiBadDeviceId. A system that follows ports opens its own
  // port at once and connects it whenever the device is there, also later in the session.
  virtual MidiResult OutOpenByName(MidiOutHandle& handle, const std::string& device, const std::string& ownPort,
                                   MidiHandler* handler);
  virtual MidiResult InOpenByName(MidiInHandle& handle, const std::string& device, const std::string& ownPort,
                                  MidiHandler* handler);
};

}  // namespace orvo
