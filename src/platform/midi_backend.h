#pragma once
// What a concrete MIDI library has to offer so that QueuedMidiSystem can present it as a
// device-numbered MIDI system: lists of device names and byte-level links to one device.
// The header rules, handles, buffer queues and completion callbacks live in
// QueuedMidiSystem, once for every library.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi_system.h"

namespace orvo {

// Receives what an input link hears. Called on a thread of the backend's own, never on a
// real-time thread of the library (it may lock and allocate), one complete message per
// call (a system-exclusive message from 0xF0 to 0xF7 in one piece).
class MidiInputSink {
 public:
  virtual ~MidiInputSink() = default;
  virtual void OnMidiInput(const uint8_t* bytes, std::size_t count) = 0;
};

// An open connection to one output device. Destroying it closes the connection.
class MidiOutputLink {
 public:
  virtual ~MidiOutputLink() = default;
  // One complete message; safe to call from one thread at a time.
  virtual MidiResult Send(const uint8_t* bytes, std::size_t count) = 0;
};

// An open connection from one input device. Destroying it closes the connection; the
// sink is never called once the destructor has returned.
class MidiInputLink {
 public:
  virtual ~MidiInputLink() = default;
};

class MidiBackend {
 public:
  virtual ~MidiBackend() = default;
  // Device names in device-number order, the program's own ports left out.
  virtual std::vector<std::string> ListOutputs() = 0;
  virtual std::vector<std::string> ListInputs() = 0;
  // `device` is a name as listed, or as stored (then compared ignoring case); `ownPort`
  // names the program's own port where ports have names. A library that follows ports
  // may open a device that is not there yet and connect it when it appears; the others
  // answer kMidiBadDeviceId for a name they do not list.
  virtual MidiResult OpenOutput(const std::string& device, const std::string& ownPort,
                                std::unique_ptr<MidiOutputLink>& link) = 0;
  virtual MidiResult OpenInput(const std::string& device, const std::string& ownPort, MidiInputSink& sink,
                               std::unique_ptr<MidiInputLink>& link) = 0;
};

}  // namespace orvo
