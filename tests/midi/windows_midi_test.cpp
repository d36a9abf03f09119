// MIDI on WinMM through the MIDI system's interface. Under Wine there are no devices
// (its ALSA driver finds no sequencer here): the lists are WinMM's, and a stored name
// that is not listed opens nothing, in either direction.
#include "os/windows/midi.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <mmsystem.h>

namespace orvo {
namespace {

TEST(WindowsMidi, ListsWinmmsDevicesAndOpensOnlyListedNames) {
  auto midi = CreateWindowsMidiSystem();
  EXPECT_EQ(midi->OutDeviceCount(), midiOutGetNumDevs());
  EXPECT_EQ(midi->InDeviceCount(), midiInGetNumDevs());
  for (uint32_t device = 0; device < midi->OutDeviceCount(); ++device) {
    std::string name;
    EXPECT_EQ(midi->OutDeviceName(device, name), kMidiNoError);
    EXPECT_FALSE(name.empty());
  }
  std::string name;
  EXPECT_EQ(midi->OutDeviceName(midi->OutDeviceCount(), name), kMidiBadDeviceId);

  MidiOutHandle out = kNoMidiHandle;
  EXPECT_EQ(midi->OutOpenByName(out, "No Such Synth", "MIXER", nullptr), kMidiBadDeviceId);
  EXPECT_EQ(out, kNoMidiHandle);
  MidiInHandle in = kNoMidiHandle;
  EXPECT_EQ(midi->InOpenByName(in, "No Such Keyboard", "MIXER", nullptr), kMidiBadDeviceId);
  EXPECT_EQ(in, kNoMidiHandle);
  EXPECT_EQ(midi->OpenPortCount(), 0u);
}

}  // namespace
}  // namespace orvo
