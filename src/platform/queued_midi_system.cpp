#include "platform/queued_midi_system.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orvo {

struct QueuedMidiSystem::Port {
  bool input = false;
  std::uintptr_t handle = kNoMidiHandle;
  MidiHandler* handler = nullptr;

  // Guarded by the system's mutex_.
  bool open = true;
  bool started = false;
  uint8_t runningStatus = 0;
  std::size_t pending = 0;            // callbacks queued or running, sends under way
  std::deque<MidiHeader*> buffers;    // input: empty buffers in the order they were added

  // Guarded by linkMutex: a send never meets a link that is being torn down.
  std::mutex linkMutex;
  std::unique_ptr<MidiOutputLink> out;
  std::unique_ptr<MidiInputLink> in;
  std::unique_ptr<InputSink> sink;

  void Call(uint32_t message, std::uintptr_t param1) const {
    if (handler) handler->OnMidiMessage(handle, message, param1);
  }
};

struct QueuedMidiSystem::Event {
  enum class Kind { kOutDone, kInShort, kInLong, kInReturned };
  Kind kind = Kind::kOutDone;
  std::shared_ptr<Port> port;
  MidiHeader* header = nullptr;
  uint32_t message = 0;
  std::vector<uint8_t> bytes;
};

// Hands what an input link hears to the system; holds the port weakly so that a late
// call from the library after the port is gone does nothing.
class QueuedMidiSystem::InputSink : public MidiInputSink {
 public:
  InputSink(QueuedMidiSystem& system, const std::shared_ptr<Port>& port) : system_(system), port_(port) {}
  // Runs on the backend's delivering thread (never the library's real-time thread).
  void OnMidiInput(const uint8_t* bytes, std::size_t count) override {
    if (auto port = port_.lock()) system_.OnInput(port, bytes, count);
  }

 private:
  QueuedMidiSystem& system_;
  std::weak_ptr<Port> port_;
};

namespace {

// Bytes of a short message by its status byte.
std::size_t ShortLength(uint8_t status) {
  if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;
  switch (status) {
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    default: return 1;
  }
}

void MarkDone(MidiHeader* header) {
  header->flags = (header->flags & ~kMidiHeaderInQueue) | kMidiHeaderDone;
}

}  // namespace

QueuedMidiSystem::QueuedMidiSystem(std::unique_ptr<MidiBackend> backend, Delivery delivery)
    : backend_(std::move(backend)), delivery_(delivery) {
  if (delivery_ == Delivery::kWorkerThread) {
    worker_ = std::thread([this] { RunWorker(); });
    std::lock_guard lock(mutex_);
    workerId_ = worker_.get_id();
  }
}

QueuedMidiSystem::~QueuedMidiSystem() {
  std::vector<std::shared_ptr<Port>> ports;
  {
    std::lock_guard lock(mutex_);
    for (auto& [handle, port] : ports_) {
      port->open = false;
      port->started = false;
      ports.push_back(port);
    }
    ports_.clear();
    queue_.clear();
    stop_ = true;
  }
  wake_.notify_all();
  for (auto& port : ports) {
    std::lock_guard link(port->linkMutex);
    port->in.reset();
    port->out.reset();
  }
  if (worker_.joinable()) worker_.join();
}

// ---- devices ----------------------------------------------------------------------

uint32_t QueuedMidiSystem::OutDeviceCount() {
  auto names = backend_->ListOutputs();
  std::lock_guard lock(namesMutex_);
  outNames_ = std::move(names);
  outListed_ = true;
  return static_cast<uint32_t>(outNames_.size());
}

uint32_t QueuedMidiSystem::InDeviceCount() {
  auto names = backend_->ListInputs();
  std::lock_guard lock(namesMutex_);
  inNames_ = std::move(names);
  inListed_ = true;
  return static_cast<uint32_t>(inNames_.size());
}

MidiResult QueuedMidiSystem::NameOf(bool input, uint32_t device, std::string& name) {
  {
    std::lock_guard lock(namesMutex_);
    if (input ? inListed_ : outListed_) {
      const auto& names = input ? inNames_ : outNames_;
      if (device >= names.size()) return kMidiBadDeviceId;
      name = names[device];
      return kMidiNoError;
    }
  }
  // Numbers refer to the last listing; list once if nobody has counted yet.
  if (input) InDeviceCount(); else OutDeviceCount();
  return NameOf(input, device, name);
}

MidiResult QueuedMidiSystem::OutDeviceName(uint32_t device, std::string& name) {
  return NameOf(false, device, name);
}

MidiResult QueuedMidiSystem::InDeviceName(uint32_t device, std::string& name) {
  return NameOf(true, device, name);
}

// ---- the table and the queue ------------------------------------------------------

std::shared_ptr<QueuedMidiSystem::Port> QueuedMidiSystem::Find(std::uintptr_t handle, bool input) const {
  auto it = ports_.find(handle);
  if (it == ports_.end() || it->second->input != input) return nullptr;
  return it->second;
}

bool QueuedMidiSystem::IsOpen(std::uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  return ports_.count(handle) != 0;
}

std::size_t QueuedMidiSystem::OpenPortCount() const {
  std::lock_guard lock(mutex_);
  return ports_.size();
}

std::size_t QueuedMidiSystem::QueuedInputBuffers(MidiInHandle handle) const {
  std::lock_guard lock(mutex_);
  auto port = Find(handle, true);
  return port ? port->buffers.size() : 0;
}

void QueuedMidiSystem::Enqueue(Event event) {
  queue_.push_back(std::move(event));
  wake_.notify_one();
}

void QueuedMidiSystem::Deliver(Event& event) {
  Port& port = *event.port;
  switch (event.kind) {
    case Event::Kind::kOutDone:
      MarkDone(event.header);
      port.Call(kMomDone, reinterpret_cast<std::uintptr_t>(event.header));
      break;
    case Event::Kind::kInShort:
      port.Call(kMimData, event.message);
      break;
    case Event::Kind::kInReturned:
      event.header->bytesRecorded = 0;
      MarkDone(event.header);
      port.Call(kMimLongData, reinterpret_cast<std::uintptr_t>(event.header));
      break;
    case Event::Kind::kInLong: {
      // Fill the queued buffers in order; what finds no buffer is lost, as on any port
      // that has run out of buffers.
      std::size_t offset = 0;
      while (offset < event.bytes.size()) {
        MidiHeader* header = nullptr;
        {
          std::lock_guard lock(mutex_);
          if (port.buffers.empty()) break;
          header = port.buffers.front();
          port.buffers.pop_front();
        }
        const std::size_t count = std::min<std::size_t>(header->bufferLength, event.bytes.size() - offset);
        std::memcpy(header->data, event.bytes.data() + offset, count);
        header->bytesRecorded = static_cast<uint32_t>(count);
        offset += count;
        MarkDone(header);
        port.Call(kMimLongData, reinterpret_cast<std::uintptr_t>(header));
      }
      break;
    }
  }
}

void QueuedMidiSystem::Drain(const std::shared_ptr<Port>& port, std::unique_lock<std::mutex>& lock) {
  if (std::this_thread::get_id() == workerId_) return;  // a handler cannot wait for itself
  if (delivery_ == Delivery::kManual) {
    for (;;) {
      auto it = std::find_if(queue_.begin(), queue_.end(), [&](const Event& e) { return e.port == port; });
      if (it == queue_.end()) break;
      Event event = std::move(*it);
      queue_.erase(it);
      lock.unlock();
      Deliver(event);
      lock.lock();
      --port->pending;
    }
    drained_.notify_all();
  }
  drained_.wait(lock, [&] { return port->pending == 0; });
}

std::size_t QueuedMidiSystem::DeliverPending() {
  std::size_t delivered = 0;
  std::unique_lock lock(mutex_);
  while (!queue_.empty()) {
    Event event = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    Deliver(event);
    lock.lock();
    --running_;
    --event.port->pending;
    ++delivered;
    drained_.notify_all();
  }
  return delivered;
}

void QueuedMidiSystem::WaitIdle() {
  if (delivery_ == Delivery::kManual) {
    DeliverPending();
    return;
  }
  std::unique_lock lock(mutex_);
  drained_.wait(lock, [&] { return queue_.empty() && running_ == 0; });
}

// Runs on the system's delivery thread: every handler callback of every port, in order.
void QueuedMidiSystem::RunWorker() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    Event event = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    Deliver(event);
    lock.lock();
    --running_;
    --event.port->pending;
    drained_.notify_all();
  }
}

void QueuedMidiSystem::OnInput(const std::shared_ptr<Port>& port, const uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  Event event;
  event.port = port;
  if (bytes[0] == 0xF0 || count > 3) {
    event.kind = Event::Kind::kInLong;
    event.bytes.assign(bytes, bytes + count);
  } else {
    event.kind = Event::Kind::kInShort;
    for (std::size_t i = 0; i < count; ++i) event.message |= static_cast<uint32_t>(bytes[i]) << (8 * i);
  }
  std::lock_guard lock(mutex_);
  if (!port->open || !port->started) return;
  ++port->pending;
  Enqueue(std::move(event));
}

// ---- output -----------------------------------------------------------------------

// Ports opened by number have no name of their own to give.
MidiResult QueuedMidiSystem::OutOpen(MidiOutHandle& handle, uint32_t device, MidiHandler* handler) {
  handle = kNoMidiHandle;
  std::string name;
  if (MidiResult result = NameOf(false, device, name)) return result;
  return OutOpenByName(handle, name, "out", handler);
}

MidiResult QueuedMidiSystem::OutOpenByName(MidiOutHandle& handle, const std::string& device,
                                           const std::string& ownPort, MidiHandler* handler) {
  handle = kNoMidiHandle;
  auto port = std::make_shared<Port>();
  port->handler = handler;
  std::unique_ptr<MidiOutputLink> link;
  if (MidiResult result = backend_->OpenOutput(device, ownPort, link)) return result;
  if (!link) return kMidiNoMemory;
  port->out = std::move(link);
  {
    std::lock_guard lock(mutex_);
    port->handle = nextHandle_++;
    ports_[port->handle] = port;
    handle = port->handle;
  }
  port->Call(kMomOpen, 0);
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::OutShortMessage(MidiOutHandle handle, uint32_t message) {
  std::shared_ptr<Port> port;
  uint8_t bytes[3] = {static_cast<uint8_t>(message), static_cast<uint8_t>(message >> 8),
                      static_cast<uint8_t>(message >> 16)};
  std::size_t count = 0;
  {
    std::lock_guard lock(mutex_);
    port = Find(handle, false);
    if (!port) return kMidiInvalidHandle;
    const uint8_t status = bytes[0];
    if (status < 0x80) {
      // Running status: the data bytes follow the port's last channel status.
      if (!port->runningStatus) return kMidiInvalidParam;
      bytes[2] = bytes[1];
      bytes[1] = bytes[0];
      bytes[0] = port->runningStatus;
    } else if (status == 0xF0 || status == 0xF7) {
      return kMidiInvalidParam;
    } else if (status < 0xF0) {
      port->runningStatus = status;
    } else if (status < 0xF8) {
      port->runningStatus = 0;
    }
    count = ShortLength(bytes[0]);
  }
  std::lock_guard link(port->linkMutex);
  return port->out ? port->out->Send(bytes, count) : kMidiInvalidHandle;
}

// Preparing marks a header for use on a port of either kind; unpreparing refuses while
// the port still holds it.
MidiResult QueuedMidiSystem::PrepareHeader(std::uintptr_t handle, bool input, MidiHeader* header) {
  std::lock_guard lock(mutex_);
  if (!Find(handle, input)) return kMidiInvalidHandle;
  if (!header) return kMidiInvalidParam;
  header->flags |= kMidiHeaderPrepared;
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::UnprepareHeader(std::uintptr_t handle, bool input, MidiHeader* header) {
  std::lock_guard lock(mutex_);
  if (!Find(handle, input)) return kMidiInvalidHandle;
  if (!header) return kMidiInvalidParam;
  if (header->flags & kMidiHeaderInQueue) return kMidiStillPlaying;
  header->flags &= ~kMidiHeaderPrepared;
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::OutPrepareHeader(MidiOutHandle handle, MidiHeader* header) {
  return PrepareHeader(handle, false, header);
}

MidiResult QueuedMidiSystem::OutLongMessage(MidiOutHandle handle, MidiHeader* header) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard lock(mutex_);
    port = Find(handle, false);
    if (!port) return kMidiInvalidHandle;
    if (!header || (header->bufferLength && !header->data)) return kMidiInvalidParam;
    if (!(header->flags & kMidiHeaderPrepared)) return kMidiUnprepared;
    if (header->flags & kMidiHeaderInQueue) return kMidiStillPlaying;
    header->flags = (header->flags & ~kMidiHeaderDone) | kMidiHeaderInQueue;
    ++port->pending;  // a close meanwhile sees the buffer as still playing
  }
  MidiResult result = kMidiNoError;
  if (header->bufferLength) {
    std::lock_guard link(port->linkMutex);
    result = port->out ? port->out->Send(header->data, header->bufferLength) : kMidiInvalidHandle;
  }
  std::lock_guard lock(mutex_);
  if (result != kMidiNoError) {
    header->flags &= ~kMidiHeaderInQueue;
    --port->pending;
    drained_.notify_all();
    return result;
  }
  Event event;
  event.kind = Event::Kind::kOutDone;
  event.port = port;
  event.header = header;
  Enqueue(std::move(event));
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::OutUnprepareHeader(MidiOutHandle handle, MidiHeader* header) {
  return UnprepareHeader(handle, false, header);
}

MidiResult QueuedMidiSystem::OutReset(MidiOutHandle handle) {
  std::unique_lock lock(mutex_);
  auto port = Find(handle, false);
  if (!port) return kMidiInvalidHandle;
  Drain(port, lock);
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::OutClose(MidiOutHandle handle) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard lock(mutex_);
    port = Find(handle, false);
    if (!port) return kMidiInvalidHandle;
    if (port->pending) return kMidiStillPlaying;
    ports_.erase(handle);
    port->open = false;
  }
  {
    std::lock_guard link(port->linkMutex);
    port->out.reset();
  }
  port->Call(kMomClose, 0);
  return kMidiNoError;
}

// ---- input ------------------------------------------------------------------------

MidiResult QueuedMidiSystem::InOpen(MidiInHandle& handle, uint32_t device, MidiHandler* handler,
                                    bool /*statusMessages*/) {
  handle = kNoMidiHandle;
  std::string name;
  if (MidiResult result = NameOf(true, device, name)) return result;
  return InOpenByName(handle, name, "in", handler);
}

MidiResult QueuedMidiSystem::InOpenByName(MidiInHandle& handle, const std::string& device,
                                          const std::string& ownPort, MidiHandler* handler) {
  handle = kNoMidiHandle;
  auto port = std::make_shared<Port>();
  port->input = true;
  port->handler = handler;
  port->sink = std::make_unique<InputSink>(*this, port);
  std::unique_ptr<MidiInputLink> link;
  if (MidiResult result = backend_->OpenInput(device, ownPort, *port->sink, link)) return result;
  if (!link) return kMidiNoMemory;
  {
    std::lock_guard guard(port->linkMutex);
    port->in = std::move(link);
  }
  {
    std::lock_guard lock(mutex_);
    port->handle = nextHandle_++;
    ports_[port->handle] = port;
    handle = port->handle;
  }
  port->Call(kMimOpen, 0);
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::InPrepareHeader(MidiInHandle handle, MidiHeader* header) {
  return PrepareHeader(handle, true, header);
}

MidiResult QueuedMidiSystem::InUnprepareHeader(MidiInHandle handle, MidiHeader* header) {
  return UnprepareHeader(handle, true, header);
}

MidiResult QueuedMidiSystem::InAddBuffer(MidiInHandle handle, MidiHeader* header) {
  std::lock_guard lock(mutex_);
  auto port = Find(handle, true);
  if (!port) return kMidiInvalidHandle;
  if (!header || !header->data || header->bufferLength == 0) return kMidiInvalidParam;
  if (!(header->flags & kMidiHeaderPrepared)) return kMidiUnprepared;
  if (header->flags & kMidiHeaderInQueue) return kMidiStillPlaying;
  header->flags = (header->flags & ~kMidiHeaderDone) | kMidiHeaderInQueue;
  header->bytesRecorded = 0;
  port->buffers.push_back(header);
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::InStart(MidiInHandle handle) {
  std::lock_guard lock(mutex_);
  auto port = Find(handle, true);
  if (!port) return kMidiInvalidHandle;
  port->started = true;
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::InReset(MidiInHandle handle) {
  std::unique_lock lock(mutex_);
  auto port = Find(handle, true);
  if (!port) return kMidiInvalidHandle;
  port->started = false;
  for (MidiHeader* header : port->buffers) {
    Event event;
    event.kind = Event::Kind::kInReturned;
    event.port = port;
    event.header = header;
    ++port->pending;
    Enqueue(std::move(event));
  }
  port->buffers.clear();
  Drain(port, lock);
  return kMidiNoError;
}

MidiResult QueuedMidiSystem::InClose(MidiInHandle handle) {
  std::shared_ptr<Port> port;
  {
    std::lock_guard lock(mutex_);
    port = Find(handle, true);
    if (!port) return kMidiInvalidHandle;
    if (!port->buffers.empty()) return kMidiStillPlaying;
    ports_.erase(handle);
    port->open = false;
    port->started = false;
  }
  {
    std::lock_guard link(port->linkMutex);
    port->in.reset();  // the library calls the sink no more
  }
  {
    std::unique_lock lock(mutex_);
    Drain(port, lock);  // what arrived before the close is still handed over
  }
  port->Call(kMimClose, 0);
  return kMidiNoError;
}

}  // namespace orvo
