#pragma once
// The MIDI ports with every service faked: a scripted MIDI system, recorded messages,
// a recorded surface, a recorded editor, a main thread run by hand, and the 2000-buffer pool.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/midi_ports.h"
#include "platform/fake/fake_midi_system.h"
#include "platform/fake/queued_main_thread.h"
#include "platform/fake/recording_messages.h"
#include "support/recording_device.h"

namespace orvo::test {

// Records what the MIDI input handler tells the editor.
class RecordingInputEditor : public EditorNotifier {
 public:
  struct Post {
    const Keyset* keyset;
    uint32_t message;            // short messages
    std::vector<uint8_t> bytes;  // long messages
  };
  std::atomic<bool> running{true};
  bool IsRunning() override { return running; }
  void SendControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostInputMessage(const Keyset* keyset, uint32_t message) override {
    std::lock_guard lock(mutex_);
    shorts_.push_back({keyset, message, {}});
  }
  void PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t) override {
    std::lock_guard lock(mutex_);
    longs_.push_back({keyset, 0, std::vector<uint8_t>(bytes.begin(), bytes.end())});
  }
  void ShowKeyset(const Keyset*) override {}
  std::vector<Post> Shorts() const {
    std::lock_guard lock(mutex_);
    return shorts_;
  }
  std::vector<Post> Longs() const {
    std::lock_guard lock(mutex_);
    return longs_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Post> shorts_, longs_;
};

struct MidiRig {
  explicit MidiRig(FakeMidiSystem::Delivery delivery = FakeMidiSystem::Delivery::kManual)
      : midi(delivery), pool(SysExPool::Create()),
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
  RecordingInputEditor editor;
  QueuedMainThread mainThread;
  std::unique_ptr<SysExPool> pool;
  MidiPorts ports;
};

}  // namespace orvo::test
