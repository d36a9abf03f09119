#include "os/linux/own_midi_ports.h"

#include <cerrno>
#include <ctime>
#include <utility>

namespace orvo {

std::string MidiDroppedLine(const std::string& port, bool output, uint64_t count) {
  return "MIDI " + std::string(output ? "output" : "input") + " \"" + port + "\": " + std::to_string(count) +
         (count == 1 ? " message" : " messages") + " dropped, more than its queue holds";
}

// A link is our port; closing the link closes the port.
class OwnMidiPorts::OutputLink : public MidiOutputLink {
 public:
  OutputLink(OwnMidiPorts& ports, OwnMidiPort& port) : ports_(ports), port_(port) {}
  ~OutputLink() override { ports_.Close(&port_); }
  // The sending thread.
  MidiResult Send(const uint8_t* bytes, std::size_t count) override { return ports_.SendOut(port_, bytes, count); }

 private:
  OwnMidiPorts& ports_;
  OwnMidiPort& port_;
};

class OwnMidiPorts::InputLink : public MidiInputLink {
 public:
  InputLink(OwnMidiPorts& ports, OwnMidiPort& port) : ports_(ports), port_(port) {}
  // The sink hears nothing once this returns: the service thread delivers under portsMutex_.
  ~InputLink() override { ports_.Close(&port_); }

 private:
  OwnMidiPorts& ports_;
  OwnMidiPort& port_;
};

OwnMidiPorts::OwnMidiPorts(std::shared_ptr<MidiDrops> drops, std::size_t queueBytes, RealTimeProbe probe)
    : drops_(std::move(drops)), probe_(probe), queueBytes_(queueBytes) {
  sem_init(&wake_, 0, 0);
}

OwnMidiPorts::~OwnMidiPorts() {
  StopService();
  sem_destroy(&wake_);
}

void OwnMidiPorts::StartService() {
  service_ = std::thread([this] { RunService(); });
}

void OwnMidiPorts::StopService() {
  if (!service_.joinable()) return;
  stop_.store(true);
  Wake();
  service_.join();
}

MidiResult OwnMidiPorts::OpenOutput(const std::string& device, const std::string& ownPort,
                                    std::unique_ptr<MidiOutputLink>& link) {
  OwnMidiPort* port = nullptr;
  if (MidiResult result = Open(true, device, ownPort, nullptr, port)) return result;
  link = std::make_unique<OutputLink>(*this, *port);
  return kMidiNoError;
}

MidiResult OwnMidiPorts::OpenInput(const std::string& device, const std::string& ownPort, MidiInputSink& sink,
                                   std::unique_ptr<MidiInputLink>& link) {
  OwnMidiPort* port = nullptr;
  if (MidiResult result = Open(false, device, ownPort, &sink, port)) return result;
  link = std::make_unique<InputLink>(*this, *port);
  return kMidiNoError;
}

// The opening thread: the port is made, put in the table, and connected if its device is there.
MidiResult OwnMidiPorts::Open(bool output, const std::string& device, const std::string& ownPort,
                              MidiInputSink* sink, OwnMidiPort*& made) {
  if (device.empty()) return kMidiBadDeviceId;
  std::unique_ptr<OwnMidiPort> port;
  try {
    port = std::make_unique<OwnMidiPort>(output, ownPort, device, queueBytes_);
  } catch (const std::bad_alloc&) {
    return kMidiNoMemory;
  }
  port->sink = sink;
  std::lock_guard lock(portsMutex_);
  std::size_t slot = 0;
  while (slot < kMaxPorts && live_[slot].load(std::memory_order_relaxed)) ++slot;
  if (slot == kMaxPorts) return kMidiNoMemory;
  if (MidiResult result = MakePort(*port, ownPort)) return result;
  made = port.get();
  ports_.push_back(std::move(port));
  live_[slot].store(made, std::memory_order_release);
  if (slot + 1 > high_.load(std::memory_order_relaxed)) high_.store(slot + 1, std::memory_order_release);
  ConnectPorts({made});
  return kMidiNoError;
}

// The closing thread: out of the table, the real-time side's pass waited for, then freed.
// The wait holds no lock: the service thread and the other ports go on meanwhile, and a
// pass that takes long (a server that stalls) delays this close only.
void OwnMidiPorts::Close(OwnMidiPort* port) {
  {
    std::lock_guard lock(portsMutex_);
    port->closing = true;
    for (auto& slot : live_)
      if (slot.load(std::memory_order_relaxed) == port) slot.store(nullptr);
  }
  // Told before the pass is read: either the pass sees us and wakes us when it ends, or
  // we see it ended.
  closers_.fetch_add(1);
  const uint32_t pass = passes_.load();
  if (pass % 2 == 1) passes_.wait(pass);
  closers_.fetch_sub(1);
  std::lock_guard lock(portsMutex_);
  DropPort(*port);
  if (!port->output) port->queue.Clear();  // what was heard and not delivered goes with the port
  TellDrops(*port);
  for (auto it = ports_.begin(); it != ports_.end(); ++it)
    if (it->get() == port) {
      ports_.erase(it);
      break;
    }
}

MidiResult OwnMidiPorts::SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) {
  std::lock_guard lock(port.sendMutex);
  if (port.queue.Push(bytes, count)) return kMidiNoError;
  Drop(port);
  return kMidiError;
}

void OwnMidiPorts::Drop(OwnMidiPort& port, uint64_t count) {
  port.unreported.fetch_add(count, std::memory_order_relaxed);
  drops_->total.fetch_add(count, std::memory_order_relaxed);
}

void OwnMidiPorts::Enter() {
  passes_.fetch_add(1);
  if (probe_) probe_(true);
}

void OwnMidiPorts::Leave() {
  if (probe_) probe_(false);
  passes_.fetch_add(1);
  if (closers_.load() != 0) passes_.notify_all();  // a futex wake, no lock
}

bool OwnMidiPorts::Heard(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) {
  // Clock, time code and active sensing are not for the surface.
  if (count == 0 || bytes[0] == 0xF8 || bytes[0] == 0xF1 || bytes[0] == 0xFE) return false;
  if (port.queue.Push(bytes, count)) return true;
  Drop(port);
  return false;
}

void OwnMidiPorts::Drained(OwnMidiPort& port) {
  if (port.unreported.load(std::memory_order_relaxed) != 0 && port.queue.Empty()) Wake();
}

void OwnMidiPorts::TellDrops(OwnMidiPort& port) {
  const uint64_t count = port.unreported.exchange(0);
  if (count && drops_->tell) drops_->tell(MidiDroppedLine(port.name, port.output, count));
}

// The service thread: delivers, tells and connects each time it is woken, and gives the
// library its upkeep when that asked for a time.
void OwnMidiPorts::RunService() {
  std::vector<uint8_t> message(MessageRing::kLongest);
  int timeoutMs = Maintain();
  for (;;) {
    if (timeoutMs < 0) {
      while (sem_wait(&wake_) != 0 && errno == EINTR) {
      }
    } else {
      timespec until{};
      clock_gettime(CLOCK_MONOTONIC, &until);
      until.tv_sec += timeoutMs / 1000;
      until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
      if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
      }
      while (sem_clockwait(&wake_, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
      }
    }
    if (stop_.load()) return;
    {
      std::lock_guard lock(portsMutex_);
      for (auto& port : ports_) {
        if (port->output) {
          if (port->queue.Empty()) TellDrops(*port);
          continue;
        }
        while (const std::size_t size = port->queue.FrontSize()) {
          port->queue.CopyFront(message.data());
          port->queue.PopFront();
          if (port->sink) port->sink->OnMidiInput(message.data(), size);
        }
        TellDrops(*port);
      }
      if (connectWanted_.exchange(false)) ConnectPorts(OpenPorts());
    }
    timeoutMs = Maintain();
  }
}

std::vector<OwnMidiPort*> OwnMidiPorts::OpenPorts(bool closing) {
  std::vector<OwnMidiPort*> open;
  for (auto& port : ports_)
    if (closing || !port->closing) open.push_back(port.get());
  return open;
}

}  // namespace orvo
