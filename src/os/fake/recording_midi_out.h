#pragma once
// A MidiSystem that records what is sent on its outputs: short messages, and long
// messages with their prepare and unprepare calls. Prepare or send can be told to fail.
// Opening, inputs and the rest are not offered (kMidiInvalidHandle / no devices).
#include <mutex>
#include <vector>

#include "os/fake/output_only_midi.h"
#include "platform/midi_system.h"

namespace orvo::test {

class RecordingMidiOut : public OutputOnlyMidi {
 public:
  struct Sent {
    MidiOutHandle handle;
    uint32_t message;
  };
  struct LongSent {
    MidiOutHandle handle;
    MidiHeader* header;
    std::vector<uint8_t> bytes;
  };

  void FailPrepare(bool fail) {
    std::lock_guard lock(mutex_);
    failPrepare_ = fail;
  }
  void FailLongMessage(bool fail) {
    std::lock_guard lock(mutex_);
    failLong_ = fail;
  }
  std::vector<Sent> Shorts() const {
    std::lock_guard lock(mutex_);
    return shorts_;
  }
  std::vector<LongSent> Longs() const {
    std::lock_guard lock(mutex_);
    return longs_;
  }
  std::size_t LongCount() const {
    std::lock_guard lock(mutex_);
    return longs_.size();
  }
  int Prepares() const {
    std::lock_guard lock(mutex_);
    return prepares_;
  }
  int Unprepares() const {
    std::lock_guard lock(mutex_);
    return unprepares_;
  }

  MidiResult OutShortMessage(MidiOutHandle handle, uint32_t message) override {
    std::lock_guard lock(mutex_);
    shorts_.push_back({handle, message});
    return kMidiNoError;
  }
  MidiResult OutPrepareHeader(MidiOutHandle, MidiHeader* header) override {
    std::lock_guard lock(mutex_);
    ++prepares_;
    if (failPrepare_) return kMidiNoMemory;
    header->flags |= kMidiHeaderPrepared;
    return kMidiNoError;
  }
  MidiResult OutLongMessage(MidiOutHandle handle, MidiHeader* header) override {
    std::lock_guard lock(mutex_);
    if (failLong_) return kMidiInvalidHandle;
    longs_.push_back({handle, header, {header->data, header->data + header->bufferLength}});
    return kMidiNoError;
  }
  MidiResult OutUnprepareHeader(MidiOutHandle, MidiHeader* header) override {
    std::lock_guard lock(mutex_);
    ++unprepares_;
    header->flags &= ~kMidiHeaderPrepared;
    return kMidiNoError;
  }

 private:
  mutable std::mutex mutex_;
  bool failPrepare_ = false;
  bool failLong_ = false;
  std::vector<Sent> shorts_;
  std::vector<LongSent> longs_;
  int prepares_ = 0;
  int unprepares_ = 0;
};

}  // namespace orvo::test
