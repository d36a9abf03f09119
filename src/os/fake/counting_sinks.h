#pragma once
// Sinks that only count, so that they allocate nothing themselves: keystrokes, MIDI
// output (a long message completes at once and goes back to its pool), editor
// notifications, the decoder's dispatch and the device it writes lamps to. For the
// allocation tests and the benchmarks of the hot path.
#include <atomic>
#include <span>

#include "os/fake/recording_midi_out.h"
#include "platform/key_injector.h"
#include "protocol/device_writer.h"
#include "protocol/dispatch_target.h"
#include "protocol/editor_notifier.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

struct CountingKeys : KeyInjector {
  long records = 0;
  void SendInput(const KeyboardInput*, uint32_t count) override { records += count; }
};

struct CountingMidiOut : RecordingMidiOut {
  long shorts = 0;
  long longs = 0;
  MidiResult OutShortMessage(MidiOutHandle, uint32_t) override { return ++shorts, kMidiNoError; }
  MidiResult OutPrepareHeader(MidiOutHandle, MidiHeader*) override { return kMidiNoError; }
  MidiResult OutLongMessage(MidiOutHandle, MidiHeader* header) override {
    ++longs;
    SysExPool::GiveBackToOwner(header);
    return kMidiNoError;
  }
  MidiResult OutUnprepareHeader(MidiOutHandle, MidiHeader*) override { return kMidiNoError; }
};

struct CountingEditor : EditorNotifier {
  long notes = 0;
  bool IsRunning() override { return true; }
  void SendControlEvent(const ControlDescriptor*, uint32_t) override { ++notes; }
  void PostControlEvent(const ControlDescriptor*, uint32_t) override { ++notes; }
  void PostInputMessage(const Keyset*, uint32_t) override { ++notes; }
  void PostLongMessage(const Keyset*, std::span<const uint8_t>, uint32_t) override { ++notes; }
  void ShowKeyset(const Keyset*) override { ++notes; }
};

// Takes every message, as the real dispatch does, and gives long ones back at once.
struct CountingDispatch : DispatchTarget {
  long shorts = 0;
  long longs = 0;
  DispatchResult DispatchShortMessage(const ControlDescriptor*, uint32_t) override {
    ++shorts;
    return DispatchResult::kTaken;
  }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    ++longs;
    SysExPool::GiveBackToOwner(buffer);
    return DispatchResult::kTaken;
  }
};

struct CountingDevice : DeviceWriter {
  long writes = 0;
  bool WriteDevice(const uint8_t*, uint32_t) override { return ++writes, true; }
};

}  // namespace orvo::test
