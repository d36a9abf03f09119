#pragma once
// The host's MIDI system on Windows: the multimedia MIDI devices (WinMM), by the names
// their drivers give. WinMM is already a device-numbered system; QueuedMidiSystem keeps
// the header rules and handler callbacks shared with the other systems, and this backend
// lists the devices and moves bytes. WinMM's callbacks run on its own thread, where only
// a handful of calls are allowed: they copy what came into a fixed queue under a short
// lock and wake a thread of ours, which hands it on and gives long-message buffers back.
// A long message out is copied into one of the port's prepared slots and sent without
// waiting for the line, so that no sending thread blocks on a slow device.
#include <memory>

#include "platform/midi_backend.h"
#include "platform/queued_midi_system.h"

namespace orvo {

class WinmmMidiBackend : public MidiBackend {
 public:
  std::vector<std::string> ListOutputs() override;
  std::vector<std::string> ListInputs() override;
  // A stored name opens the listed device of that name (case ignored); a name that is
  // not listed gives kMidiBadDeviceId. WinMM ports have no names of their own.
  MidiResult OpenOutput(const std::string& device, const std::string& ownPort,
                        std::unique_ptr<MidiOutputLink>& link) override;
  MidiResult OpenInput(const std::string& device, const std::string& ownPort, MidiInputSink& sink,
                       std::unique_ptr<MidiInputLink>& link) override;
};

std::unique_ptr<QueuedMidiSystem> CreateWindowsMidiSystem();

}  // namespace orvo
