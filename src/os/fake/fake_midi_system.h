#pragma once
// A MIDI system for tests: scripted device lists (duplicates welcome), scripted result
// codes per call, a record of every call, and an application side that receives what the
// program sends and sends it MIDI. Handles, header rules and callbacks are the real
// QueuedMidiSystem's; callbacks run on its delivery thread or when the test calls
// DeliverPending().
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/queued_midi_system.h"

namespace orvo {

class FakeMidiBackend;

struct FakeMidiCall {
  std::string name;                   // "OutOpen", "InAddBuffer", ...
  std::uintptr_t handle = 0;          // the handle the call was made on (or got, for opens)
  uint32_t argument = 0;              // device number or short message
  const MidiHeader* header = nullptr;
  MidiResult result = kMidiNoError;
};

class FakeMidiSystem : public MidiSystem {
 public:
  using Delivery = QueuedMidiSystem::Delivery;
  explicit FakeMidiSystem(Delivery delivery = Delivery::kManual);
  ~FakeMidiSystem() override;

  // ---- scripting
  void SetOutDevices(std::vector<std::string> names);
  void SetInDevices(std::vector<std::string> names);
  // The next `times` calls of `call` return `result` and do nothing else.
  void FailNext(const std::string& call, MidiResult result, int times = 1);

  // ---- the record
  std::vector<FakeMidiCall> Calls() const;
  int CountOf(const std::string& call) const;
  void ClearCalls();

  // ---- the application's side
  // Every message sent on an output handle, in order (kept after the close).
  std::vector<std::vector<uint8_t>> Sent(MidiOutHandle handle) const;
  // The device an output or input handle was opened on; empty for an unknown handle.
  std::string DeviceOf(std::uintptr_t handle) const;
  // The device sends `bytes` to the input port `handle`; false when that port is not open.
  bool Receive(MidiInHandle handle, const std::vector<uint8_t>& bytes);

  // ---- delivery and state
  std::size_t DeliverPending() { return inner_->DeliverPending(); }
  void WaitIdle() { inner_->WaitIdle(); }
  std::size_t QueuedInputBuffers(MidiInHandle handle) const { return inner_->QueuedInputBuffers(handle); }
  bool IsOpen(std::uintptr_t handle) const { return inner_->IsOpen(handle); }
  std::size_t OpenPortCount() const { return inner_->OpenPortCount(); }

  // ---- MidiSystem
  uint32_t OutDeviceCount() override;
  uint32_t InDeviceCount() override;
  MidiResult OutDeviceName(uint32_t device, std::string& name) override;
  MidiResult InDeviceName(uint32_t device, std::string& name) override;
  MidiResult OutOpen(MidiOutHandle& handle, uint32_t device, MidiHandler* handler) override;
  MidiResult OutShortMessage(MidiOutHandle handle, uint32_t message) override;
  MidiResult OutPrepareHeader(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutLongMessage(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutUnprepareHeader(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutReset(MidiOutHandle handle) override;
  MidiResult OutClose(MidiOutHandle handle) override;
  MidiResult InOpen(MidiInHandle& handle, uint32_t device, MidiHandler* handler,
                    bool statusMessages) override;
  MidiResult InPrepareHeader(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InUnprepareHeader(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InAddBuffer(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InStart(MidiInHandle handle) override;
  MidiResult InReset(MidiInHandle handle) override;
  MidiResult InClose(MidiInHandle handle) override;

 private:
  // A scripted result for `call`, if one is due (and consumes it).
  bool Scripted(const std::string& call, MidiResult& result);
  MidiResult Record(const std::string& call, std::uintptr_t handle, uint32_t argument,
                    const MidiHeader* header, MidiResult result);

  FakeMidiBackend* backend_;  // owned by inner_
  std::unique_ptr<QueuedMidiSystem> inner_;
  std::mutex openMutex_;  // pairs an open with the link the backend made for it

  mutable std::mutex mutex_;
  std::vector<FakeMidiCall> calls_;
  std::map<std::string, std::vector<MidiResult>> scripted_;
  std::map<std::uintptr_t, std::string> devices_;
  std::map<std::uintptr_t, std::shared_ptr<std::vector<std::vector<uint8_t>>>> sent_;
  std::map<std::uintptr_t, uint64_t> inputLinks_;  // handle -> link id in the backend
};

}  // namespace orvo
