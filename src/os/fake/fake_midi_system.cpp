#include "os/fake/fake_midi_system.h"

#include <algorithm>
#include <utility>

namespace orvo {

using SentLog = std::vector<std::vector<uint8_t>>;

// The devices of the fake: lists set by the test, output links that log what they are
// sent, input links through which the test plays the device's side.
class FakeMidiBackend : public MidiBackend {
 public:
  void SetOutputs(std::vector<std::string> names) {
    std::lock_guard lock(mutex_);
    outputs_ = std::move(names);
  }
  void SetInputs(std::vector<std::string> names) {
    std::lock_guard lock(mutex_);
    inputs_ = std::move(names);
  }
  std::vector<std::string> ListOutputs() override {
    std::lock_guard lock(mutex_);
    return outputs_;
  }
  std::vector<std::string> ListInputs() override {
    std::lock_guard lock(mutex_);
    return inputs_;
  }

  MidiResult OpenOutput(const std::string& /*device*/, const std::string& /*ownPort*/,
                        std::unique_ptr<MidiOutputLink>& link) override {
    auto log = std::make_shared<SentLog>();
    link = std::make_unique<OutputLink>(log, sentMutex_);
    std::lock_guard lock(mutex_);
    lastOutput_ = log;
    return kMidiNoError;
  }

  MidiResult OpenInput(const std::string& /*device*/, const std::string& /*ownPort*/, MidiInputSink& sink,
                       std::unique_ptr<MidiInputLink>& link) override {
    std::lock_guard lock(sinksMutex_);
    const uint64_t id = nextInput_++;
    sinks_[id] = &sink;
    link = std::make_unique<InputLink>(*this, id);
    lastInput_ = id;
    return kMidiNoError;
  }

  std::shared_ptr<SentLog> LastOutput() {
    std::lock_guard lock(mutex_);
    return lastOutput_;
  }
  uint64_t LastInput() {
    std::lock_guard lock(sinksMutex_);
    return lastInput_;
  }
  SentLog Copy(const std::shared_ptr<SentLog>& log) {
    std::lock_guard lock(sentMutex_);
    return *log;
  }
  // Plays the device: the sink hears `bytes` now, on the calling thread.
  bool Inject(uint64_t id, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(sinksMutex_);
    auto it = sinks_.find(id);
    if (it == sinks_.end()) return false;
    it->second->OnMidiInput(bytes.data(), bytes.size());
    return true;
  }

 private:
  class OutputLink : public MidiOutputLink {
   public:
    OutputLink(std::shared_ptr<SentLog> log, std::mutex& mutex) : log_(std::move(log)), mutex_(mutex) {}
    MidiResult Send(const uint8_t* bytes, std::size_t count) override {
      std::lock_guard lock(mutex_);
      log_->emplace_back(bytes, bytes + count);
      return kMidiNoError;
    }

   private:
    std::shared_ptr<SentLog> log_;
    std::mutex& mutex_;
  };
  class InputLink : public MidiInputLink {
   public:
    InputLink(FakeMidiBackend& backend, uint64_t id) : backend_(backend), id_(id) {}
    ~InputLink() override {
      std::lock_guard lock(backend_.sinksMutex_);  // waits for a delivery under way
      backend_.sinks_.erase(id_);
    }

   private:
    FakeMidiBackend& backend_;
    uint64_t id_;
  };

  std::mutex mutex_;
  std::vector<std::string> outputs_, inputs_;
  std::shared_ptr<SentLog> lastOutput_;
  std::mutex sentMutex_;
  std::mutex sinksMutex_;
  std::map<uint64_t, MidiInputSink*> sinks_;
  uint64_t nextInput_ = 1;
  uint64_t lastInput_ = 0;
};

FakeMidiSystem::FakeMidiSystem(Delivery delivery) {
  auto backend = std::make_unique<FakeMidiBackend>();
  backend_ = backend.get();
  inner_ = std::make_unique<QueuedMidiSystem>(std::move(backend), delivery);
}

FakeMidiSystem::~FakeMidiSystem() = default;

void FakeMidiSystem::SetOutDevices(std::vector<std::string> names) { backend_->SetOutputs(std::move(names)); }
void FakeMidiSystem::SetInDevices(std::vector<std::string> names) { backend_->SetInputs(std::move(names)); }

void FakeMidiSystem::FailNext(const std::string& call, MidiResult result, int times) {
  std::lock_guard lock(mutex_);
  auto& due = scripted_[call];
  due.insert(due.end(), static_cast<std::size_t>(std::max(times, 0)), result);
}

bool FakeMidiSystem::Scripted(const std::string& call, MidiResult& result) {
  std::lock_guard lock(mutex_);
  auto it = scripted_.find(call);
  if (it == scripted_.end() || it->second.empty()) return false;
  result = it->second.front();
  it->second.erase(it->second.begin());
  return true;
}

MidiResult FakeMidiSystem::Record(const std::string& call, std::uintptr_t handle, uint32_t argument,
                                  const MidiHeader* header, MidiResult result) {
  std::lock_guard lock(mutex_);
  calls_.push_back(FakeMidiCall{call, handle, argument, header, result});
  return result;
}

std::vector<FakeMidiCall> FakeMidiSystem::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int FakeMidiSystem::CountOf(const std::string& call) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const FakeMidiCall& c) { return c.name == call; }));
}

void FakeMidiSystem::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::vector<std::vector<uint8_t>> FakeMidiSystem::Sent(MidiOutHandle handle) const {
  std::shared_ptr<SentLog> log;
  {
    std::lock_guard lock(mutex_);
    auto it = sent_.find(handle);
    if (it == sent_.end()) return {};
    log = it->second;
  }
  return backend_->Copy(log);
}

std::string FakeMidiSystem::DeviceOf(std::uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = devices_.find(handle);
  return it == devices_.end() ? std::string() : it->second;
}

bool FakeMidiSystem::Receive(MidiInHandle handle, const std::vector<uint8_t>& bytes) {
  uint64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = inputLinks_.find(handle);
    if (it == inputLinks_.end()) return false;
    id = it->second;
  }
  return backend_->Inject(id, bytes);
}

// ---- MidiSystem: script, forward, record --------------------------------------------

#define ORVO_FAKE_CALL(call, handle, argument, header, forward)                   \
  do {                                                                            \
    MidiResult result_ = kMidiNoError;                                            \
    if (!Scripted(call, result_)) result_ = (forward);                            \
    return Record(call, handle, argument, header, result_);                       \
  } while (false)

uint32_t FakeMidiSystem::OutDeviceCount() {
  const uint32_t count = inner_->OutDeviceCount();
  Record("OutDeviceCount", 0, count, nullptr, kMidiNoError);
  return count;
}

uint32_t FakeMidiSystem::InDeviceCount() {
  const uint32_t count = inner_->InDeviceCount();
  Record("InDeviceCount", 0, count, nullptr, kMidiNoError);
  return count;
}

MidiResult FakeMidiSystem::OutDeviceName(uint32_t device, std::string& name) {
  ORVO_FAKE_CALL("OutDeviceName", 0, device, nullptr, inner_->OutDeviceName(device, name));
}

MidiResult FakeMidiSystem::InDeviceName(uint32_t device, std::string& name) {
  ORVO_FAKE_CALL("InDeviceName", 0, device, nullptr, inner_->InDeviceName(device, name));
}

MidiResult FakeMidiSystem::OutOpen(MidiOutHandle& handle, uint32_t device, MidiHandler* handler) {
  handle = kNoMidiHandle;
  MidiResult result = kMidiNoError;
  if (Scripted("OutOpen", result)) return Record("OutOpen", 0, device, nullptr, result);
  std::lock_guard open(openMutex_);
  result = inner_->OutOpen(handle, device, handler);
  if (result == kMidiNoError) {
    std::string name;
    inner_->OutDeviceName(device, name);
    std::lock_guard lock(mutex_);
    sent_[handle] = backend_->LastOutput();
    devices_[handle] = name;
  }
  return Record("OutOpen", handle, device, nullptr, result);
}

MidiResult FakeMidiSystem::OutShortMessage(MidiOutHandle handle, uint32_t message) {
  ORVO_FAKE_CALL("OutShortMessage", handle, message, nullptr, inner_->OutShortMessage(handle, message));
}

MidiResult FakeMidiSystem::OutPrepareHeader(MidiOutHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("OutPrepareHeader", handle, 0, header, inner_->OutPrepareHeader(handle, header));
}

MidiResult FakeMidiSystem::OutLongMessage(MidiOutHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("OutLongMessage", handle, 0, header, inner_->OutLongMessage(handle, header));
}

MidiResult FakeMidiSystem::OutUnprepareHeader(MidiOutHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("OutUnprepareHeader", handle, 0, header, inner_->OutUnprepareHeader(handle, header));
}

MidiResult FakeMidiSystem::OutReset(MidiOutHandle handle) {
  ORVO_FAKE_CALL("OutReset", handle, 0, nullptr, inner_->OutReset(handle));
}

MidiResult FakeMidiSystem::OutClose(MidiOutHandle handle) {
  ORVO_FAKE_CALL("OutClose", handle, 0, nullptr, inner_->OutClose(handle));
}

MidiResult FakeMidiSystem::InOpen(MidiInHandle& handle, uint32_t device, MidiHandler* handler,
                                  bool statusMessages) {
  handle = kNoMidiHandle;
  MidiResult result = kMidiNoError;
  if (Scripted("InOpen", result)) return Record("InOpen", 0, device, nullptr, result);
  std::lock_guard open(openMutex_);
  result = inner_->InOpen(handle, device, handler, statusMessages);
  if (result == kMidiNoError) {
    std::string name;
    inner_->InDeviceName(device, name);
    std::lock_guard lock(mutex_);
    inputLinks_[handle] = backend_->LastInput();
    devices_[handle] = name;
  }
  return Record("InOpen", handle, device, nullptr, result);
}

MidiResult FakeMidiSystem::InPrepareHeader(MidiInHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("InPrepareHeader", handle, 0, header, inner_->InPrepareHeader(handle, header));
}

MidiResult FakeMidiSystem::InUnprepareHeader(MidiInHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("InUnprepareHeader", handle, 0, header, inner_->InUnprepareHeader(handle, header));
}

MidiResult FakeMidiSystem::InAddBuffer(MidiInHandle handle, MidiHeader* header) {
  ORVO_FAKE_CALL("InAddBuffer", handle, 0, header, inner_->InAddBuffer(handle, header));
}

MidiResult FakeMidiSystem::InStart(MidiInHandle handle) {
  ORVO_FAKE_CALL("InStart", handle, 0, nullptr, inner_->InStart(handle));
}

MidiResult FakeMidiSystem::InReset(MidiInHandle handle) {
  ORVO_FAKE_CALL("InReset", handle, 0, nullptr, inner_->InReset(handle));
}

MidiResult FakeMidiSystem::InClose(MidiInHandle handle) {
  ORVO_FAKE_CALL("InClose", handle, 0, nullptr, inner_->InClose(handle));
}

#undef ORVO_FAKE_CALL

}  // namespace orvo
