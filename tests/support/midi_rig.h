#pragma once
// The MIDI ports with every service faked: a scripted MIDI system, recorded messages,
// a recorded surface, a recorded editor, a main thread run by hand, and the 2000-buffer pool
// (with `reserve` more that input ports cannot take).
#include <memory>
#include <vector>

#include "midi/midi_ports.h"
#include "os/fake/fake_midi_system.h"
#include "os/fake/queued_main_thread.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_messages.h"

namespace orvo::test {

// The notes of one kind, in order.
inline std::vector<RecordingEditor::Note> NotesOf(const RecordingEditor& editor, RecordingEditor::Kind kind) {
  std::vector<RecordingEditor::Note> notes;
  for (auto& note : editor.Notes())
    if (note.kind == kind) notes.push_back(note);
  return notes;
}

struct MidiRig {
  explicit MidiRig(FakeMidiSystem::Delivery delivery = FakeMidiSystem::Delivery::kManual, uint32_t reserve = 0)
      : midi(delivery), pool(SysExPool::Create(SysExPool::kDefaultCount + reserve, SysExPool::kDefaultDataSize, reserve)),
        ports(MidiServices{midi, messages, surface, editor, mainThread, pool.get()}) {
    midi.SetOutDevices({"synth:MIDI in", "Looper:MIDI in", "SYNTH:midi IN"});
    midi.SetInDevices({"synth:MIDI out", "Looper:MIDI out", "drums:MIDI out"});
  }
  // Runs the MIDI callbacks, then what they posted to the main thread.
  void Settle() {
    midi.DeliverPending();
    mainThread.RunPending();
  }

  FakeMidiSystem midi;
  RecordingMessages messages;
  RecordingDevice surface;
  RecordingEditor editor;
  QueuedMainThread mainThread;
  std::unique_ptr<SysExPool> pool;
  MidiPorts ports;
};

}  // namespace orvo::test
