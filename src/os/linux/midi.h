#pragma once
// The host's MIDI system on Linux: JACK (also PipeWire's JACK) or the ALSA sequencer,
// through RtMidi. An output device is another client's writable port: opening it makes a
// port of our own and connects it there. An input device is another client's readable
// port. Our own ports are never listed. Without a usable MIDI system the object still
// works, lists no devices, and one message says why.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/message_service.h"
#include "platform/queued_midi_system.h"

namespace orvo {

enum class MidiApiChoice { kAuto, kJack, kAlsa };

// "jack", "alsa" or "auto"; nothing for any other text.
std::optional<MidiApiChoice> ParseMidiApi(std::string_view text);

struct RtMidiOptions {
  MidiApiChoice api = MidiApiChoice::kAuto;
  std::string clientName = "orvo";             // our JACK/ALSA client, and the ports we hide
  std::string alsaSequencer = "/dev/snd/seq";  // the device the ALSA API needs
};

class RtMidiSystem : public QueuedMidiSystem {
 public:
  // Shows at most one message through `messages` (when given) if no MIDI system can be used.
  static std::unique_ptr<RtMidiSystem> Create(const RtMidiOptions& options, MessageService* messages);

  // "jack", "alsa", or "none" when no MIDI system could be used.
  const std::string& ApiName() const { return apiName_; }
  // Why no MIDI system is used; empty when one is.
  const std::string& Problem() const { return problem_; }

 private:
  RtMidiSystem(std::unique_ptr<MidiBackend> backend, std::string apiName, std::string problem);
  const std::string apiName_;
  const std::string problem_;
};

}  // namespace orvo
