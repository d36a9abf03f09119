#pragma once
// The host's MIDI system on Linux: JACK (also PipeWire's JACK) or the ALSA sequencer,
// through RtMidi. An output device is another client's writable port: opening it makes a
// port of our own and connects it there. An input device is another client's readable
// port. Our own ports are never listed. Without a usable MIDI system the object still
// works, lists no devices, and one message says why.
#include <atomic>
#include <cstdint>
#include <functional>
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
  // Told once, on the sending thread, when the first message to an output is dropped
  // because JACK cannot carry it in time. It must only hand the line on and return.
  std::function<void(const std::string&)> tellDropped;
};

// Messages to the outputs dropped because JACK could not carry them; shared by the ports.
struct MidiOutputDrops {
  std::atomic<uint64_t> count{0};
  std::atomic<bool> told{false};
  std::atomic<uint64_t> lostSeen{0};  // of JACK's own count of events without room
  std::function<void(const std::string&)> tell;
  // The sending thread: `messages` more were dropped.
  void Count(uint64_t messages = 1);
  // The sending thread: JACK's own count stands at `lost`; what is new is counted.
  void Absorb(uint64_t lost);
};

inline constexpr const char* kMidiDroppedLine =
    "MIDI output: more messages than one JACK period can carry; the rest are dropped and counted";

class RtMidiSystem : public QueuedMidiSystem {
 public:
  // Shows at most one message through `messages` (when given) if no MIDI system can be used.
  static std::unique_ptr<RtMidiSystem> Create(const RtMidiOptions& options, MessageService* messages);

  // "jack", "alsa", or "none" when no MIDI system could be used.
  const std::string& ApiName() const { return apiName_; }
  // Why no MIDI system is used; empty when one is.
  const std::string& Problem() const { return problem_; }
  // Messages to the outputs dropped so far. Any thread; tells the first drop if nobody has.
  uint64_t DroppedMessages() const;

 private:
  RtMidiSystem(std::unique_ptr<MidiBackend> backend, std::shared_ptr<MidiOutputDrops> drops, std::string apiName,
               std::string problem);
  const std::shared_ptr<MidiOutputDrops> drops_;
  const std::string apiName_;
  const std::string problem_;
};

}  // namespace orvo
