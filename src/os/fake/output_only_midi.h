#pragma once
// The part of a MidiSystem that dispatch never uses, for doubles that only take what is
// sent on an output: no devices to open, no inputs, reset and close refused.
#include <string>

#include "platform/midi_system.h"

namespace orvo::test {

class OutputOnlyMidi : public MidiSystem {
 public:
  uint32_t OutDeviceCount() override { return 0; }
  uint32_t InDeviceCount() override { return 0; }
  MidiResult OutDeviceName(uint32_t, std::string&) override { return kMidiBadDeviceId; }
  MidiResult InDeviceName(uint32_t, std::string&) override { return kMidiBadDeviceId; }
  MidiResult OutOpen(MidiOutHandle&, uint32_t, MidiHandler*) override { return kMidiBadDeviceId; }
  MidiResult OutReset(MidiOutHandle) override { return kMidiInvalidHandle; }
  MidiResult OutClose(MidiOutHandle) override { return kMidiInvalidHandle; }
  MidiResult InOpen(MidiInHandle&, uint32_t, MidiHandler*, bool) override { return kMidiBadDeviceId; }
  MidiResult InPrepareHeader(MidiInHandle, MidiHeader*) override { return kMidiInvalidHandle; }
  MidiResult InUnprepareHeader(MidiInHandle, MidiHeader*) override { return kMidiInvalidHandle; }
  MidiResult InAddBuffer(MidiInHandle, MidiHeader*) override { return kMidiInvalidHandle; }
  MidiResult InStart(MidiInHandle) override { return kMidiInvalidHandle; }
  MidiResult InReset(MidiInHandle) override { return kMidiInvalidHandle; }
  MidiResult InClose(MidiInHandle) override { return kMidiInvalidHandle; }
};

}  // namespace orvo::test
