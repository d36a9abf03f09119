#include "os/linux/alsa_midi.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "os/linux/midi_port_names.h"

namespace orvo {
namespace {

constexpr std::size_t kLongestShort = 16;

}  // namespace

std::unique_ptr<AlsaMidi> AlsaMidi::Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                         std::size_t queueBytes, RealTimeProbe probe, std::string& why) {
  snd_seq_t* seq = nullptr;
  if (int error = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK); error < 0) {
    why = snd_strerror(error);
    return nullptr;
  }
  snd_seq_set_client_name(seq, clientName.c_str());
  std::unique_ptr<AlsaMidi> midi(new AlsaMidi(seq, clientName, std::move(drops), queueBytes, probe));
  if (!midi->encoder_ || !midi->decoder_ || midi->stopFd_ < 0) {
    why = "out of memory";
    return nullptr;
  }
  // A port of ours that only hears the system's announcements (new clients and ports).
  const int announce = snd_seq_create_simple_port(seq, "announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                  SND_SEQ_PORT_TYPE_APPLICATION);
  if (announce >= 0) snd_seq_connect_from(seq, announce, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
  midi->StartService();
  midi->input_ = std::thread([m = midi.get()] { m->RunInput(); });
  return midi;
}

AlsaMidi::AlsaMidi(snd_seq_t* seq, std::string clientName, std::shared_ptr<MidiDrops> drops, std::size_t queueBytes,
                   RealTimeProbe probe)
    : OwnMidiPorts(std::move(drops), queueBytes, probe), seq_(seq), clientName_(std::move(clientName)),
      clientId_(snd_seq_client_id(seq)) {
  if (snd_midi_event_new(kLongestShort, &encoder_) < 0) encoder_ = nullptr;
  if (snd_midi_event_new(kLongestShort, &decoder_) < 0) decoder_ = nullptr;
  if (decoder_) snd_midi_event_no_status(decoder_, 1);  // every message whole, status byte first
  sysex_.reserve(queueBytes);
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

AlsaMidi::~AlsaMidi() {
  if (input_.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stopFd_, &one, sizeof one);
    input_.join();
  }
  StopService();
  if (stopFd_ >= 0) close(stopFd_);
  if (encoder_) snd_midi_event_free(encoder_);
  if (decoder_) snd_midi_event_free(decoder_);
  snd_seq_close(seq_);
}

std::vector<AlsaMidi::Device> AlsaMidi::Devices(bool writable) {
  std::vector<Device> devices;
  const unsigned wanted = writable ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                   : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    if (id == clientId_ || id == SND_SEQ_CLIENT_SYSTEM) continue;
    const std::string clientName = snd_seq_client_info_get_name(client);
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      const unsigned type = snd_seq_port_info_get_type(port);
      if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      if (!(type & (SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_APPLICATION))) continue;
      std::string name = clientName + ":" + snd_seq_port_info_get_name(port);
      if (IsOwnAlsaPort(name, clientName_)) continue;  // another client of ours
      devices.push_back(Device{std::move(name), id, snd_seq_port_info_get_port(port)});
    }
  }
  return devices;
}

std::vector<std::string> AlsaMidi::ListOutputs() {
  std::lock_guard lock(seqMutex_);
  std::vector<std::string> names;
  for (auto& device : Devices(true)) names.push_back(std::move(device.name));
  return names;
}

std::vector<std::string> AlsaMidi::ListInputs() {
  std::lock_guard lock(seqMutex_);
  std::vector<std::string> names;
  for (auto& device : Devices(false)) names.push_back(std::move(device.name));
  return names;
}

MidiResult AlsaMidi::MakePort(OwnMidiPort& port, const std::string& wanted) {
  const unsigned caps = port.output ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                    : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
  std::lock_guard lock(seqMutex_);
  const int made = snd_seq_create_simple_port(seq_, wanted.c_str(), caps,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (made < 0) return made == -ENOMEM ? kMidiNoMemory : kMidiError;
  port.alsaPort = made;
  return kMidiNoError;
}

void AlsaMidi::DropPort(OwnMidiPort& port) {
  std::lock_guard lock(seqMutex_);
  snd_seq_delete_simple_port(seq_, port.alsaPort);  // its subscriptions go with it
  port.alsaPort = -1;
}

void AlsaMidi::ConnectPorts(const std::vector<OwnMidiPort*>& ports) {
  std::lock_guard lock(seqMutex_);
  const std::vector<Device> writable = Devices(true);
  const std::vector<Device> readable = Devices(false);
  for (OwnMidiPort* port : ports) {
    const std::vector<Device>& candidates = port->output ? writable : readable;
    const Device* device = nullptr;
    for (const auto& d : candidates)
      if (d.name == port->device) device = &d;
    // The port of exactly the stored name takes the place of those matched ignoring case
    // (a subscription that is not there is refused, and nothing changes).
    for (const auto& d : candidates) {
      if (!device || &d == device || !SameDeviceName(d.name, port->device)) continue;
      if (port->output)
        snd_seq_disconnect_to(seq_, port->alsaPort, d.client, d.port);
      else
        snd_seq_disconnect_from(seq_, port->alsaPort, d.client, d.port);
    }
    for (const auto& d : candidates)
      if (!device && SameDeviceName(d.name, port->device)) device = &d;
    if (!device) continue;
    // A subscription that is there already is refused (EBUSY) and left as it is.
    if (port->output)
      snd_seq_connect_to(seq_, port->alsaPort, device->client, device->port);
    else
      snd_seq_connect_from(seq_, port->alsaPort, device->client, device->port);
  }
}

// The sending thread: the message goes to the sequencer at once.
MidiResult AlsaMidi::SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) {
  snd_seq_event_t event;
  snd_seq_ev_clear(&event);
  std::lock_guard lock(seqMutex_);
  if (bytes[0] == 0xF0) {
    snd_seq_ev_set_sysex(&event, static_cast<unsigned>(count), const_cast<uint8_t*>(bytes));
  } else {
    snd_midi_event_reset_encode(encoder_);
    if (snd_midi_event_encode(encoder_, bytes, static_cast<long>(count), &event) <= 0 ||
        event.type == SND_SEQ_EVENT_NONE)
      return kMidiInvalidParam;
  }
  snd_seq_ev_set_source(&event, port.alsaPort);
  snd_seq_ev_set_subs(&event);
  snd_seq_ev_set_direct(&event);
  const int result = snd_seq_event_output_direct(seq_, &event);
  if (result >= 0) return kMidiNoError;
  if (result == -EAGAIN) {  // the sequencer's queue is full
    Drop(port);
    return kMidiError;
  }
  return kMidiError;
}

// The input thread: waits on the sequencer and the stop descriptor; reads every event
// there is, without lock or allocation, and goes back to waiting.
void AlsaMidi::RunInput() {
  const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
  std::vector<pollfd> fds(static_cast<std::size_t>(count > 0 ? count : 0) + 1);
  fds[0] = pollfd{stopFd_, POLLIN, 0};
  snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(fds.size() - 1), POLLIN);
  for (;;) {
    if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
    if (fds[0].revents) return;
    Enter();
    bool heard = false;
    for (;;) {
      snd_seq_event_t* event = nullptr;
      const int got = snd_seq_event_input(seq_, &event);
      if (got == -ENOSPC) {
        // The kernel's queue for us overflowed and was emptied: an unknown number of
        // messages lost, counted as one, and a long message in pieces lost with them.
        overruns_.fetch_add(1, std::memory_order_relaxed);
        drops_->total.fetch_add(1, std::memory_order_relaxed);
        LoseSysEx();
        heard = true;  // the service thread tells it
        continue;
      }
      if (got < 0 || !event) break;
      if (event->source.client == SND_SEQ_CLIENT_SYSTEM) {
        if (event->type == SND_SEQ_EVENT_PORT_START || event->type == SND_SEQ_EVENT_CLIENT_START)
          WantConnections();
        continue;
      }
      OnEvent(*event);
      heard = true;
    }
    if (heard) Wake();
    Leave();
  }
}

OwnMidiPort* AlsaMidi::InputPort(int alsaPort) {
  OwnMidiPort* found = nullptr;
  ForEachLivePort([&](OwnMidiPort& port) {
    if (!port.output && port.alsaPort == alsaPort) found = &port;
  });
  return found;
}

void AlsaMidi::OnEvent(const snd_seq_event_t& event) {
  OwnMidiPort* to = InputPort(event.dest.port);
  if (!to) return;
  if (event.type == SND_SEQ_EVENT_SYSEX) {
    if (event.data.ext.len != 0)
      OnSysExPiece(*to, static_cast<const uint8_t*>(event.data.ext.ptr), event.data.ext.len);
    return;
  }
  uint8_t bytes[kLongestShort];
  const long size = snd_midi_event_decode(decoder_, bytes, sizeof bytes, &event);
  if (size > 0) Heard(*to, bytes, static_cast<std::size_t>(size));
}

// A long message may come in several pieces: the first begins with 0xF0, the last ends
// with 0xF7. It is heard whole or dropped whole (counted once): never a piece of it alone.
void AlsaMidi::OnSysExPiece(OwnMidiPort& to, const uint8_t* data, std::size_t length) {
  const bool first = data[0] == 0xF0;
  const bool last = data[length - 1] == 0xF7;
  if (first) {
    LoseSysEx();  // one not finished is cut short by the next
    sysex_.clear();
    sysexState_ = SysEx::kGathering;
    sysexPort_ = to.alsaPort;
  } else if (sysexState_ == SysEx::kNone || sysexPort_ != to.alsaPort) {
    // The rest of a message whose start was not heard.
    LoseSysEx();
    Drop(to);
    sysexState_ = SysEx::kSkipping;
    sysexPort_ = to.alsaPort;
  }
  if (sysexState_ == SysEx::kGathering) {
    if (sysex_.size() + length > sysex_.capacity()) {  // longer than a queue holds
      Drop(to);
      sysex_.clear();
      sysexState_ = SysEx::kSkipping;
    } else {
      sysex_.insert(sysex_.end(), data, data + length);
    }
  }
  if (!last) return;
  if (sysexState_ == SysEx::kGathering) Heard(to, sysex_.data(), sysex_.size());
  sysex_.clear();
  sysexState_ = SysEx::kNone;
}

void AlsaMidi::LoseSysEx() {
  if (sysexState_ == SysEx::kGathering)
    if (OwnMidiPort* port = InputPort(sysexPort_)) Drop(*port);
  if (sysexState_ != SysEx::kNone) sysexState_ = SysEx::kSkipping;
  sysex_.clear();
}

int AlsaMidi::Maintain() {
  const uint64_t overruns = overruns_.load(std::memory_order_relaxed);
  if (overruns != overrunsTold_ && drops_->tell)
    drops_->tell("MIDI input: the ALSA sequencer's queue for this program overflowed " +
                 std::to_string(overruns - overrunsTold_) + (overruns - overrunsTold_ == 1 ? " time" : " times") +
                 "; what it held was lost");
  overrunsTold_ = overruns;
  return -1;
}

}  // namespace orvo
