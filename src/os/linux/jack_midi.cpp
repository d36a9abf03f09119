#include "os/linux/jack_midi.h"

#include <jack/midiport.h>

#include <mutex>
#include <utility>

#include "os/linux/midi_port_names.h"

namespace orvo {
namespace {

constexpr int kRetryMs = 500;    // a new client is tried this often while no server answers
constexpr int kConfirmMs = 200;  // no process call for this long after the shutdown call: gone
constexpr int kWatchMs = 1000;   // a shutdown call while the process goes on: looked at this often

void Quiet(const char*) {}

// A client on the running JACK server (the one JACK_DEFAULT_SERVER names, if set), or
// nullptr. Quiet: libjack's complaints about a missing server are not for the user.
jack_client_t* OpenClient(const std::string& name) {
  auto* const previous = jack_error_callback;
  jack_set_error_function(&Quiet);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  jack_set_error_function(previous);
  return client;
}

std::string ClientOf(const std::string& port) { return port.substr(0, port.find(':')); }

}  // namespace

const char* const JackMidi::kStoppedLine = "MIDI: the JACK server stopped; Keyset ports come back when it returns";
const char* const JackMidi::kBackLine = "MIDI: the JACK server is back; Keyset ports are open again";
const char* const JackMidi::kStartedLine = "MIDI: a JACK server is running; Keyset ports are open";

std::unique_ptr<JackMidi> JackMidi::Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                         std::size_t queueBytes, RealTimeProbe probe, bool waitForServer,
                                         Tell tellState) {
  std::unique_ptr<JackMidi> midi(new JackMidi(clientName, std::move(drops), queueBytes, probe, std::move(tellState)));
  if (!midi->Attach(false) && !waitForServer) return nullptr;
  midi->StartService();
  return midi;
}

JackMidi::JackMidi(const std::string& baseName, std::shared_ptr<MidiDrops> drops, std::size_t queueBytes,
                   RealTimeProbe probe, Tell tellState)
    : OwnMidiPorts(std::move(drops), queueBytes, probe), baseName_(baseName), tellState_(std::move(tellState)) {}

JackMidi::~JackMidi() {
  // Every port is closed by now (the links go before the backend); no new client after this.
  StopService();
  jack_client_t* client = nullptr;
  {
    std::lock_guard lock(portsMutex_);
    up_.store(false);
    client = std::exchange(client_, nullptr);
  }
  if (client) {
    jack_deactivate(client);
    jack_client_close(client);
  }
}

std::string JackMidi::ClientName() {
  std::lock_guard lock(portsMutex_);
  return clientName_;
}

bool JackMidi::Attach(bool tell) {
  jack_client_t* client = OpenClient(baseName_);
  if (!client) return false;
  if (jack_set_process_callback(client, &JackMidi::OnProcess, this) != 0 ||
      jack_set_port_registration_callback(client, &JackMidi::OnPortRegistration, this) != 0) {
    jack_client_close(client);
    return false;
  }
  // jackd calls the first, PipeWire the second.
  jack_on_info_shutdown(client, &JackMidi::OnShutdown, this);
  jack_on_shutdown(client, [](void* self) { OnShutdown(JackFailure, "", self); }, this);
  {
    std::lock_guard lock(portsMutex_);
    client_ = client;
    clientName_ = jack_get_client_name(client);
    // Half of a MIDI buffer, counted as a server that copies each event into a sequence of
    // its own (PipeWire) spends it: beyond that a whole period can be lost without a word.
    budget_ = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE) / 2;
    shutdown_.store(false);
    shutdownLooked_ = false;
    const std::vector<OwnMidiPort*> ports = OpenPorts();
    for (OwnMidiPort* port : ports) Register(*port, port->name);
    if (jack_activate(client) != 0) {
      for (OwnMidiPort* port : ports) port->jackPort.store(nullptr);
      client_ = nullptr;
    } else {
      up_.store(true, std::memory_order_release);
      ConnectPorts(ports);
    }
  }
  if (!up_.load()) {
    jack_client_close(client);
    return false;
  }
  const Server was = state_.exchange(Server::kRunning);
  if (tell && tellState_) {
    std::string line = was == Server::kStopped ? kBackLine : kStartedLine;
    if (const uint64_t refused = refused_.load() - refusedTold_) {
      refusedTold_ += refused;
      line += " (" + std::to_string(refused) + (refused == 1 ? " message" : " messages") +
              " could not be sent while no server was there)";
    }
    tellState_(line);
  }
  return true;
}

void JackMidi::Detach() {
  jack_client_t* client = nullptr;
  {
    std::lock_guard lock(portsMutex_);
    up_.store(false);
    client = std::exchange(client_, nullptr);
    for (OwnMidiPort* port : OpenPorts(true)) port->jackPort.store(nullptr);
  }
  state_.store(Server::kStopped, std::memory_order_release);
  jack_client_close(client);  // its threads have ended once this returns
  {
    // What was queued for the old client will not go; it counts as refused.
    std::lock_guard lock(portsMutex_);
    for (OwnMidiPort* port : OpenPorts(true)) {
      if (!port->output) continue;
      while (port->queue.FrontSize()) {
        port->queue.PopFront();
        refused_.fetch_add(1, std::memory_order_relaxed);
      }
    }
  }
  if (tellState_) tellState_(kStoppedLine);
}

int JackMidi::Maintain() {
  if (up_.load()) {
    if (!shutdown_.load()) return -1;
    // JACK has said the server went (PipeWire may say so early): gone once the process
    // callback has stopped being called.
    const uint32_t passes = Passes();
    const auto now = std::chrono::steady_clock::now();
    if (!shutdownLooked_ || passes != passesAtShutdown_) {
      const bool running = shutdownLooked_;
      shutdownLooked_ = true;
      passesAtShutdown_ = passes;
      shutdownSeen_ = now;
      return running ? kWatchMs : kConfirmMs;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - shutdownSeen_).count();
    if (waited < kConfirmMs) return static_cast<int>(kConfirmMs - waited);
    Detach();
  }
  return Attach(true) ? -1 : kRetryMs;
}

int JackMidi::OnProcess(jack_nframes_t frames, void* self) {
  static_cast<JackMidi*>(self)->Process(frames);
  return 0;
}

void JackMidi::OnShutdown(jack_status_t, const char*, void* self) {
  auto* midi = static_cast<JackMidi*>(self);
  midi->shutdown_.store(true);
  midi->Wake();
}

// JACK's process thread: no lock, no allocation, no wait. Each output's queue goes into
// its buffer as far as the buffer has room, the rest stays queued for the next period; each
// input's events are queued whole for the service thread.
void JackMidi::Process(jack_nframes_t frames) {
  Enter();
  bool heard = false;
  ForEachLivePort([&](OwnMidiPort& port) {
    auto* handle = static_cast<jack_port_t*>(port.jackPort.load(std::memory_order_acquire));
    void* buffer = handle ? jack_port_get_buffer(handle, frames) : nullptr;
    if (!buffer) return;
    if (port.output) {
      jack_midi_clear_buffer(buffer);
      std::size_t budget = budget_;
      while (const std::size_t size = port.queue.FrontSize()) {
        const std::size_t cost = CostOf(size);
        if (size > jack_midi_max_event_size(buffer)) {
          if (jack_midi_get_event_count(buffer) != 0) break;  // the next period has room
          port.queue.PopFront();  // more than a whole period's buffer: it can never go
          Drop(port);
          continue;
        }
        if (cost > budget && budget != budget_) break;  // the next period carries it
        jack_midi_data_t* to = jack_midi_event_reserve(buffer, 0, size);
        if (!to) break;
        budget = cost > budget ? 0 : budget - cost;
        port.queue.CopyFront(to);
        port.queue.PopFront();
      }
      Drained(port);
      return;
    }
    const uint32_t events = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < events; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) == 0 && Heard(port, event.buffer, event.size)) heard = true;
    }
  });
  if (heard) Wake();
  Leave();
}

// An event's cost: a header of 16 bytes and its data rounded up to 8.
std::size_t JackMidi::CostOf(std::size_t size) { return 16 + (size + 7) / 8 * 8; }

void JackMidi::OnPortRegistration(jack_port_id_t, int registered, void* self) {
  // A port that goes takes its connections with it; one that comes may be awaited.
  if (registered) static_cast<JackMidi*>(self)->WantConnections();
}

// The sending thread: queued for the process callback, or refused while no server is there.
MidiResult JackMidi::SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) {
  if (!up_.load(std::memory_order_acquire)) {
    refused_.fetch_add(1, std::memory_order_relaxed);
    return kMidiError;
  }
  return OwnMidiPorts::SendOut(port, bytes, count);
}

bool JackMidi::Register(OwnMidiPort& port, const std::string& wanted) {
  const unsigned long flags = port.output ? JackPortIsOutput : JackPortIsInput;
  jack_port_t* made = nullptr;
  // A name taken already (two Keysets that differ only in case, a port opened by number
  // twice) gets a number.
  for (int attempt = 1; !made && attempt < 100; ++attempt) {
    const std::string name = attempt == 1 ? wanted : wanted + " " + std::to_string(attempt);
    if (!jack_port_by_name(client_, (clientName_ + ":" + name).c_str()))
      made = jack_port_register(client_, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
  }
  port.jackPort.store(made, std::memory_order_release);
  return made != nullptr;
}

// Without a server the port waits, like a device that is not there yet, and is
// registered when one answers.
MidiResult JackMidi::MakePort(OwnMidiPort& port, const std::string& wanted) {
  if (!client_ || Register(port, wanted)) return kMidiNoError;
  return shutdown_.load() ? kMidiNoError : kMidiError;  // a server just gone: registered on its return
}

void JackMidi::DropPort(OwnMidiPort& port) {
  if (auto* handle = static_cast<jack_port_t*>(port.jackPort.exchange(nullptr)); handle && client_)
    jack_port_unregister(client_, handle);
}

void JackMidi::ConnectPorts(const std::vector<OwnMidiPort*>& ports) {
  if (!client_) return;
  const std::vector<std::string> writable = OthersPorts(JackPortIsInput);
  const std::vector<std::string> readable = OthersPorts(JackPortIsOutput);
  // Outputs first: an application's edge back to us then closes the loop, and is the one
  // JACK delays.
  for (OwnMidiPort* port : ports)
    if (port->output) Connect(*port, writable);
  for (OwnMidiPort* port : ports)
    if (!port->output) Connect(*port, readable);
}

// The stored name as it stands now: exactly, else ignoring case. An exact port that
// appears later takes the place of one that matched ignoring case.
void JackMidi::Connect(OwnMidiPort& port, const std::vector<std::string>& candidates) {
  auto* ours = static_cast<jack_port_t*>(port.jackPort.load());
  if (!ours) return;
  const std::string own = jack_port_name(ours);
  const auto link = [&](const std::string& device, bool on) {
    const char* from = port.output ? own.c_str() : device.c_str();
    const char* to = port.output ? device.c_str() : own.c_str();
    on ? jack_connect(client_, from, to) : jack_disconnect(client_, from, to);
  };
  const std::string* device = nullptr;
  for (const auto& name : candidates)
    if (name == port.device) device = &name;
  for (const auto& name : candidates) {
    if (!SameDeviceName(port.device, name) || !jack_port_connected_to(ours, name.c_str())) continue;
    if (!device) return;               // connected ignoring case, and no exact port
    if (&name != device) link(name, false);  // the exact port takes its place
  }
  for (const auto& name : candidates)
    if (!device && SameDeviceName(port.device, name)) device = &name;
  if (!device || jack_port_connected_to(ours, device->c_str())) return;
  if (!port.output) {
    link(*device, true);
    return;
  }
  // What this application already sends us is let go while our edge to it is made, and
  // connected again after it, so that theirs is the edge that closes the loop.
  const std::string application = ClientOf(*device);
  std::vector<std::pair<std::string, std::string>> held;  // their port, our input
  for (OwnMidiPort* input : OpenPorts()) {
    auto* handle = static_cast<jack_port_t*>(input->jackPort.load());
    if (input->output || !handle) continue;
    const char** peers = jack_port_get_connections(handle);
    for (const char** peer = peers; peer && *peer; ++peer)
      if (ClientOf(*peer) == application) held.emplace_back(*peer, jack_port_name(handle));
    if (peers) jack_free(peers);
  }
  for (const auto& [theirs, mine] : held) jack_disconnect(client_, theirs.c_str(), mine.c_str());
  link(*device, true);
  for (const auto& [theirs, mine] : held) jack_connect(client_, theirs.c_str(), mine.c_str());
}

std::vector<std::string> JackMidi::OthersPorts(unsigned long flags) {
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  if (!ports) return names;
  for (const char** port = ports; *port; ++port) {
    jack_port_t* handle = jack_port_by_name(client_, *port);
    if (handle && jack_port_is_mine(client_, handle)) continue;
    if (IsOwnJackPort(*port, baseName_) || IsOwnJackPort(*port, clientName_)) continue;  // another of ours
    names.emplace_back(*port);
  }
  jack_free(ports);
  return names;
}

std::vector<std::string> JackMidi::Listed(unsigned long flags) {
  std::lock_guard lock(portsMutex_);
  if (!client_) return {};
  return OthersPorts(flags);
}

std::vector<std::string> JackMidi::ListOutputs() { return Listed(JackPortIsInput); }
std::vector<std::string> JackMidi::ListInputs() { return Listed(JackPortIsOutput); }

}  // namespace orvo
