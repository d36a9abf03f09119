#include "os/linux/jack_midi.h"

#include <jack/midiport.h>

#include <utility>

#include "os/linux/midi_port_names.h"

namespace orvo {

std::unique_ptr<JackMidi> JackMidi::Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                         std::size_t queueBytes, RealTimeProbe probe) {
  jack_status_t status{};
  jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
  if (!client) return nullptr;
  std::unique_ptr<JackMidi> midi(new JackMidi(client, clientName, std::move(drops), queueBytes, probe));
  // Half of a MIDI buffer, counted as a server that copies each event into a sequence of
  // its own (PipeWire) spends it: beyond that a whole period can be lost without a word.
  midi->budget_ = jack_port_type_get_buffer_size(client, JACK_DEFAULT_MIDI_TYPE) / 2;
  if (jack_set_process_callback(client, &JackMidi::OnProcess, midi.get()) != 0 ||
      jack_set_port_registration_callback(client, &JackMidi::OnPortRegistration, midi.get()) != 0)
    return nullptr;
  midi->StartService();
  if (jack_activate(client) != 0) return nullptr;
  return midi;
}

JackMidi::JackMidi(jack_client_t* client, const std::string& baseName, std::shared_ptr<MidiDrops> drops,
                   std::size_t queueBytes, RealTimeProbe probe)
    : OwnMidiPorts(std::move(drops), queueBytes, probe), client_(client), baseName_(baseName),
      clientName_(jack_get_client_name(client)) {}

JackMidi::~JackMidi() {
  // Every port is closed by now (the links go before the backend).
  jack_deactivate(client_);
  StopService();
  jack_client_close(client_);
}

int JackMidi::OnProcess(jack_nframes_t frames, void* self) {
  static_cast<JackMidi*>(self)->Process(frames);
  return 0;
}

// JACK's process thread: no lock, no allocation, no wait. Each output's queue goes into
// its buffer as far as the buffer has room, the rest stays queued for the next period; each
// input's events are queued whole for the service thread.
void JackMidi::Process(jack_nframes_t frames) {
  Enter();
  bool heard = false;
  ForEachLivePort([&](OwnMidiPort& port) {
    void* buffer = jack_port_get_buffer(static_cast<jack_port_t*>(port.jackPort), frames);
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

MidiResult JackMidi::MakePort(OwnMidiPort& port, const std::string& wanted) {
  const unsigned long flags = port.output ? JackPortIsOutput : JackPortIsInput;
  jack_port_t* made = nullptr;
  // A name taken already (two Keysets that differ only in case, a port opened by number
  // twice) gets a number.
  for (int attempt = 1; !made && attempt < 100; ++attempt) {
    const std::string name = attempt == 1 ? wanted : wanted + " " + std::to_string(attempt);
    if (!jack_port_by_name(client_, (clientName_ + ":" + name).c_str()))
      made = jack_port_register(client_, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
  }
  if (!made) return kMidiError;
  port.jackPort = made;
  return kMidiNoError;
}

void JackMidi::DropPort(OwnMidiPort& port) {
  jack_port_unregister(client_, static_cast<jack_port_t*>(port.jackPort));
  port.jackPort = nullptr;
}

void JackMidi::ConnectPorts(const std::vector<OwnMidiPort*>& ports) {
  const std::vector<std::string> writable = OthersPorts(JackPortIsInput);
  const std::vector<std::string> readable = OthersPorts(JackPortIsOutput);
  for (OwnMidiPort* port : ports) {
    auto* ours = static_cast<jack_port_t*>(port->jackPort);
    // The stored name as it stands now: exactly, else ignoring case.
    const std::vector<std::string>& candidates = port->output ? writable : readable;
    const std::string* device = nullptr;
    for (const auto& name : candidates)
      if (name == port->device) device = &name;
    for (const auto& name : candidates)
      if (!device && SameDeviceName(port->device, name)) device = &name;
    if (!device || jack_port_connected_to(ours, device->c_str())) continue;
    const char* own = jack_port_name(ours);
    if (port->output)
      jack_connect(client_, own, device->c_str());
    else
      jack_connect(client_, device->c_str(), own);
  }
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

std::vector<std::string> JackMidi::ListOutputs() { return OthersPorts(JackPortIsInput); }
std::vector<std::string> JackMidi::ListInputs() { return OthersPorts(JackPortIsOutput); }

}  // namespace orvo
