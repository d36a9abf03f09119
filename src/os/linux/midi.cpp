#include "os/linux/midi.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <utility>

#include "os/linux/alsa_midi.h"
#include "os/linux/jack_midi.h"

namespace orvo {
namespace {

// No MIDI system: nothing to list, nothing to open.
class AbsentBackend : public MidiBackend {
 public:
  std::vector<std::string> ListOutputs() override { return {}; }
  std::vector<std::string> ListInputs() override { return {}; }
  MidiResult OpenOutput(const std::string&, const std::string&, std::unique_ptr<MidiOutputLink>&) override {
    return kMidiBadDeviceId;
  }
  MidiResult OpenInput(const std::string&, const std::string&, MidiInputSink&,
                       std::unique_ptr<MidiInputLink>&) override {
    return kMidiBadDeviceId;
  }
};

std::string JackServerName() {
  const char* name = std::getenv("JACK_DEFAULT_SERVER");
  return name && *name ? std::string("\"") + name + "\"" : std::string("the default one");
}

// Our client on the ALSA sequencer, or nullptr and why not.
std::unique_ptr<AlsaMidi> OpenAlsa(const LinuxMidiOptions& options, std::shared_ptr<MidiDrops> drops,
                                   std::string& why) {
  if (access(options.alsaSequencer.c_str(), R_OK | W_OK) != 0) {
    why = "the ALSA sequencer (" + options.alsaSequencer + ") is not available";
    return nullptr;
  }
  auto alsa = AlsaMidi::Open(options.clientName, std::move(drops), options.queueBytes, options.realTimeProbe, why);
  if (!alsa) why = "the ALSA sequencer cannot be opened" + (why.empty() ? std::string() : " (" + why + ")");
  return alsa;
}

}  // namespace

std::optional<MidiApiChoice> ParseMidiApi(std::string_view text) {
  if (text == "jack") return MidiApiChoice::kJack;
  if (text == "alsa") return MidiApiChoice::kAlsa;
  if (text == "auto") return MidiApiChoice::kAuto;
  return std::nullopt;
}

LinuxMidiSystem::LinuxMidiSystem(std::unique_ptr<MidiBackend> backend, std::shared_ptr<MidiDrops> drops,
                                 std::string apiName, std::string problem, std::string clientName, JackMidi* jack)
    : QueuedMidiSystem(std::move(backend), Delivery::kWorkerThread),
      drops_(std::move(drops)), apiName_(std::move(apiName)), problem_(std::move(problem)),
      clientName_(std::move(clientName)), jack_(jack) {}

std::string LinuxMidiSystem::ApiName() const {
  if (!jack_) return apiName_;
  return jack_->State() == JackMidi::Server::kNeverSeen ? "none" : "jack";
}

std::string LinuxMidiSystem::Problem() const {
  if (!jack_) return problem_;
  switch (jack_->State()) {
    case JackMidi::Server::kRunning: return {};
    case JackMidi::Server::kStopped: return "The JACK server stopped; Keyset ports come back when it returns.";
    case JackMidi::Server::kNeverSeen: break;
  }
  return problem_;
}

std::string LinuxMidiSystem::ClientName() const { return jack_ ? jack_->ClientName() : clientName_; }

uint64_t LinuxMidiSystem::RefusedWhileAway() const { return jack_ ? jack_->RefusedWhileAway() : 0; }

std::unique_ptr<LinuxMidiSystem> LinuxMidiSystem::Create(const LinuxMidiOptions& options, MessageService* messages) {
  auto drops = std::make_shared<MidiDrops>();
  drops->tell = options.tellDropped;
  std::unique_ptr<MidiBackend> backend;
  JackMidi* jack = nullptr;
  std::string api = "none";
  std::string problem;
  std::string clientName;
  const std::string closed = " MIDI ports stay closed.";
  const bool tryJack = options.api != MidiApiChoice::kAlsa;
  const bool tryAlsa = options.api != MidiApiChoice::kJack;
  const auto openJack = [&](bool wait) {
    auto opened = JackMidi::Open(options.clientName, drops, options.queueBytes, options.realTimeProbe, wait,
                                 options.tellState);
    if (!opened) return false;
    jack = opened.get();
    backend = std::move(opened);
    return true;
  };
  if (tryJack) openJack(false);
  std::string why;
  if (!backend && tryAlsa) {
    if (auto alsa = OpenAlsa(options, drops, why)) {
      api = "alsa";
      clientName = alsa->ClientName();
      backend = std::move(alsa);
    }
  }
  if (!backend) {
    if (options.api == MidiApiChoice::kJack) {
      problem = "No JACK server is running (server: " + JackServerName() + ")." + closed;
    } else if (options.api == MidiApiChoice::kAlsa) {
      why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
      problem = why + "." + closed;
    } else {
      problem = "No MIDI system is available: no JACK server is running (server: " + JackServerName() + ") and " +
                why + "." + closed;
    }
    // Without any server, a JACK server that starts later is taken up.
    if (!tryJack || !openJack(true)) backend = std::make_unique<AbsentBackend>();
  }
  if (!problem.empty() && messages) messages->ShowMessage(problem, MessageIcon::kWarning);
  return std::unique_ptr<LinuxMidiSystem>(
      new LinuxMidiSystem(std::move(backend), std::move(drops), api, problem, clientName, jack));
}

}  // namespace orvo
