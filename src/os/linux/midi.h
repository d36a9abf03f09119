#pragma once
// The host's MIDI system on Linux: JACK (also PipeWire's JACK library) or the ALSA
// sequencer, written on the libraries themselves. The program is one client with one port
// per Keyset and direction, named after the Keyset. An output device is another client's
// writable port: opening it makes a port of our own and connects it there, now or as soon
// as the device appears (also again after its application restarts). An input device is
// another client's readable port. Our own ports are never listed. Without a usable MIDI
// system the object still works, lists no devices, and one message says why; with the
// JACK choices it then waits for a server, and takes one up (and back after a restart)
// by itself.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "os/linux/jack_midi.h"
#include "os/linux/own_midi_ports.h"
#include "platform/message_service.h"
#include "platform/queued_midi_system.h"

namespace orvo {

enum class MidiApiChoice { kAuto, kJack, kAlsa };

// "jack", "alsa" or "auto"; nothing for any other text.
std::optional<MidiApiChoice> ParseMidiApi(std::string_view text);

struct LinuxMidiOptions {
  MidiApiChoice api = MidiApiChoice::kAuto;
  std::string clientName = "Orvo";             // our JACK/ALSA client, and the clients we hide
  std::string alsaSequencer = "/dev/snd/seq";  // the device the ALSA API needs
  // Each port's queue of whole messages, in bytes: what the sending threads may have
  // ahead of the server (JACK output), or the server ahead of the program (input).
  std::size_t queueBytes = 64 * 1024;
  // Told on the MIDI system's own thread for each run of messages dropped because a
  // port's queue was full, with the exact count. It must only hand the line on.
  std::function<void(const std::string&)> tellDropped;
  // Told on the MIDI system's own thread once when the JACK server goes and once when it
  // (or a first one) is there, with the line to say. It must only hand the line on.
  std::function<void(const std::string&)> tellState;
  // Tests: called on the library's real-time thread around its work.
  OwnMidiPorts::RealTimeProbe realTimeProbe = nullptr;
};

class LinuxMidiSystem : public QueuedMidiSystem {
 public:
  // Shows at most one message through `messages` (when given) if no MIDI system can be used.
  static std::unique_ptr<LinuxMidiSystem> Create(const LinuxMidiOptions& options, MessageService* messages);

  // "jack", "alsa", or "none" while no MIDI system is used.
  std::string ApiName() const;
  // Why no MIDI goes anywhere now; empty while a MIDI server is in use. Any thread, cheap,
  // never waits.
  std::string Problem() const;
  // Our client's name as the server granted it; empty without a MIDI system.
  std::string ClientName() const;
  // Messages dropped so far because a port's queue was full, every one counted. Any thread.
  uint64_t DroppedMessages() const { return drops_->total.load(); }
  // Messages refused because no JACK server was there. Any thread.
  uint64_t RefusedWhileAway() const;

 private:
  LinuxMidiSystem(std::unique_ptr<MidiBackend> backend, std::shared_ptr<MidiDrops> drops, std::string apiName,
                  std::string problem, std::string clientName, JackMidi* jack);
  const std::shared_ptr<MidiDrops> drops_;
  const std::string apiName_;
  const std::string problem_;  // as at the start
  const std::string clientName_;
  JackMidi* const jack_;  // the backend when it is JACK's

};

}  // namespace orvo
