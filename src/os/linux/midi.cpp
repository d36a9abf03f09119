#include "os/linux/midi.h"

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdlib>
#include <optional>
#include <mutex>
#include <utility>
#include <vector>

#include "os/linux/jack_period_budget.h"
#include "os/linux/jack_port_follower.h"
#include "os/linux/midi_port_names.h"

namespace orvo {
namespace {

// Events JACK could not put into an output port's buffer: the library's process callback
// drops them without a word, but JACK reports each one through its error function. The
// period budget keeps this from happening while the library keeps up; when it falls
// behind, this count tells at least that it happened (JACK's own queue of reports may
// overflow, so it is a lower bound).
constexpr char kJackNoRoom[] = "JackMidiBuffer::ReserveEvent";
std::atomic<uint64_t> gJackLostEvents{0};
void (*gJackPreviousError)(const char*) = nullptr;

// Runs on JACK's message thread (JACK's process threads hand their reports to it).
void CountJackLosses(const char* text) {
  if (std::strncmp(text, kJackNoRoom, sizeof kJackNoRoom - 1) == 0) {
    gJackLostEvents.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  if (gJackPreviousError) gJackPreviousError(text);
}

// RtMidi reports through this instead of printing and throwing; the next call looks at it.
struct ErrorTrap {
  bool failed = false;
  bool warned = false;  // sending: the library's queue had no room, the message is dropped
  RtMidiError::Type type = RtMidiError::UNSPECIFIED;
  std::string text;

  // Runs on whichever thread made the failing RtMidi call.
  static void Catch(RtMidiError::Type type, const std::string& text, void* user) {
    auto* trap = static_cast<ErrorTrap*>(user);
    if (type == RtMidiError::DEBUG_WARNING) return;
    if (type == RtMidiError::WARNING) {
      trap->warned = true;
      return;
    }
    trap->failed = true;
    trap->type = type;
    trap->text = text;
  }
};

MidiResult ResultOf(RtMidiError::Type type) {
  switch (type) {
    case RtMidiError::MEMORY_ERROR: return kMidiNoMemory;
    case RtMidiError::INVALID_PARAMETER:
    case RtMidiError::INVALID_DEVICE:
    case RtMidiError::NO_DEVICES_FOUND: return kMidiBadDeviceId;
    default: return kMidiError;
  }
}

// RtMidi reports by throwing; the MIDI system reports result codes.
template <class Call>
MidiResult ResultOfCall(Call&& call) {
  try {
    return call();
  } catch (const RtMidiError& error) {
    return ResultOf(error.getType());
  } catch (const std::bad_alloc&) {
    return kMidiNoMemory;
  } catch (...) {
    return kMidiError;
  }
}

class RtOutputLink : public MidiOutputLink {
 public:
  RtOutputLink(std::unique_ptr<RtMidiOut> out, std::unique_ptr<ErrorTrap> trap,
               std::unique_ptr<FollowedConnection> following, std::optional<JackPeriodBudget> budget,
               MidiOutputDrops& drops)
      : out_(std::move(out)), trap_(std::move(trap)), following_(std::move(following)), budget_(budget),
        drops_(drops) {}
  ~RtOutputLink() override {
    following_.reset();  // no reconnect of a port that is closing
    try {
      out_->closePort();
    } catch (...) {
    }
  }
  // The sending thread (the read thread's dispatch, or the editor's).
  MidiResult Send(const uint8_t* bytes, std::size_t count) override {
    if (budget_ && !budget_->Take(count)) {
      drops_.Count();
      return kMidiError;
    }
    drops_.Absorb(gJackLostEvents.load(std::memory_order_relaxed));
    return ResultOfCall([&] {
      trap_->failed = trap_->warned = false;
      out_->sendMessage(bytes, count);
      if (trap_->warned) drops_.Count();
      return trap_->failed ? ResultOf(trap_->type) : trap_->warned ? kMidiError : kMidiNoError;
    });
  }

 private:
  std::unique_ptr<RtMidiOut> out_;
  std::unique_ptr<ErrorTrap> trap_;
  std::unique_ptr<FollowedConnection> following_;
  std::optional<JackPeriodBudget> budget_;  // JACK only
  MidiOutputDrops& drops_;
};

class RtInputLink : public MidiInputLink {
 public:
  RtInputLink(std::unique_ptr<RtMidiIn> in, std::unique_ptr<ErrorTrap> trap,
              std::unique_ptr<FollowedConnection> following)
      : in_(std::move(in)), trap_(std::move(trap)), following_(std::move(following)) {}
  // Closing stops the library's input thread; the sink hears nothing after this.
  ~RtInputLink() override {
    following_.reset();
    try {
      in_->closePort();
      in_->cancelCallback();
    } catch (...) {
    }
  }
  // Runs on the library's input thread (JACK's process thread, or ALSA's input thread).
  static void OnMessage(double /*deltaSeconds*/, std::vector<unsigned char>* message, void* sink) {
    if (message && !message->empty())
      static_cast<MidiInputSink*>(sink)->OnMidiInput(message->data(), message->size());
  }

 private:
  std::unique_ptr<RtMidiIn> in_;
  std::unique_ptr<ErrorTrap> trap_;
  std::unique_ptr<FollowedConnection> following_;
};

class RtBackend : public MidiBackend {
 public:
  RtBackend(RtMidi::Api api, std::string clientName, std::shared_ptr<MidiOutputDrops> drops)
      : api_(api), clientName_(std::move(clientName)), drops_(std::move(drops)) {
    // JACK drops a connection when the other client quits; the follower makes it again when
    // that client comes back. The ALSA sequencer's ports are left as they are.
    if (api_ == RtMidi::UNIX_JACK) follower_ = JackPortFollower::Create(clientName_ + "-follow", clientName_);
    if (api_ == RtMidi::UNIX_JACK && jack_error_callback != &CountJackLosses) {
      gJackPreviousError = jack_error_callback;
      jack_set_error_function(&CountJackLosses);
    }
    drops_->lostSeen.store(gJackLostEvents.load());
  }

  std::vector<std::string> ListOutputs() override {
    std::lock_guard lock(mutex_);
    try {
      if (!outLister_) outLister_ = Make<RtMidiOut>(outTrap_);
      return Listed(*outLister_);
    } catch (...) {
      return {};
    }
  }
  std::vector<std::string> ListInputs() override {
    std::lock_guard lock(mutex_);
    try {
      if (!inLister_) inLister_ = Make<RtMidiIn>(inTrap_);
      return Listed(*inLister_);
    } catch (...) {
      return {};
    }
  }

  MidiResult OpenOutput(const std::string& device, std::unique_ptr<MidiOutputLink>& link) override {
    return ResultOfCall([&]() -> MidiResult {
      auto trap = std::make_unique<ErrorTrap>();
      auto out = Make<RtMidiOut>(*trap);
      const auto index = Find(*out, device);
      if (!index) return kMidiBadDeviceId;  // gone since it was listed
      std::lock_guard lock(openMutex_);
      const auto before = OwnPorts();
      out->openPort(*index, "out");
      if (trap->failed) return ResultOf(trap->type);
      auto following = Follow(before, [&](const std::string& ours) {
        return std::make_unique<FollowedConnection>(follower_, ours, device);
      });
      std::optional<JackPeriodBudget> budget;
      if (follower_) budget.emplace(follower_);
      link = std::make_unique<RtOutputLink>(std::move(out), std::move(trap), std::move(following), budget, *drops_);
      return kMidiNoError;
    });
  }

  MidiResult OpenInput(const std::string& device, MidiInputSink& sink,
                       std::unique_ptr<MidiInputLink>& link) override {
    return ResultOfCall([&]() -> MidiResult {
      auto trap = std::make_unique<ErrorTrap>();
      auto in = Make<RtMidiIn>(*trap);
      const auto index = Find(*in, device);
      if (!index) return kMidiBadDeviceId;
      // System exclusive wanted; clock and active sensing are not for the surface.
      in->ignoreTypes(false, true, true);
      in->setCallback(&RtInputLink::OnMessage, &sink);
      std::lock_guard lock(openMutex_);
      const auto before = OwnPorts();
      in->openPort(*index, "in");
      if (trap->failed) return ResultOf(trap->type);
      auto following = Follow(before, [&](const std::string& ours) {
        return std::make_unique<FollowedConnection>(follower_, device, ours);
      });
      link = std::make_unique<RtInputLink>(std::move(in), std::move(trap), std::move(following));
      return kMidiNoError;
    });
  }

 private:
  template <class Midi>
  std::unique_ptr<Midi> Make(ErrorTrap& trap) {
    auto midi = std::make_unique<Midi>(api_, clientName_);
    midi->setErrorCallback(&ErrorTrap::Catch, &trap);
    return midi;
  }

  std::vector<std::string> OwnPorts() const {
    return follower_ ? follower_->OwnPorts() : std::vector<std::string>{};
  }
  // The port that opening has just added to ours (not among `before`) is followed as
  // `make` says; nothing when there is no follower or the port cannot be told apart.
  template <class Make>
  std::unique_ptr<FollowedConnection> Follow(const std::vector<std::string>& before, Make make) const {
    if (!follower_) return nullptr;
    for (const auto& name : follower_->OwnPorts())
      if (std::find(before.begin(), before.end(), name) == before.end()) return make(name);
    return nullptr;
  }

  std::string Stable(const std::string& listed) const {
    return api_ == RtMidi::LINUX_ALSA ? StableAlsaPortName(listed) : listed;
  }
  bool Own(const std::string& stable) const {
    return api_ == RtMidi::LINUX_ALSA ? IsOwnAlsaPort(stable, clientName_) : IsOwnJackPort(stable, clientName_);
  }

  std::vector<std::string> Listed(RtMidi& midi) const {
    std::vector<std::string> names;
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
      std::string name = Stable(midi.getPortName(i));
      if (!name.empty() && !Own(name)) names.push_back(std::move(name));
    }
    return names;
  }

  // The library's number of the port with this stable name, now.
  std::optional<unsigned> Find(RtMidi& midi, const std::string& device) const {
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i)
      if (Stable(midi.getPortName(i)) == device) return i;
    return std::nullopt;
  }

  const RtMidi::Api api_;
  const std::string clientName_;
  std::shared_ptr<JackPortFollower> follower_;  // JACK only
  const std::shared_ptr<MidiOutputDrops> drops_;
  std::mutex openMutex_;  // one open at a time, so that its new port can be told apart
  std::mutex mutex_;  // the two listers
  ErrorTrap outTrap_, inTrap_;
  std::unique_ptr<RtMidiOut> outLister_;
  std::unique_ptr<RtMidiIn> inLister_;
};

// No MIDI system: nothing to list, nothing to open.
class AbsentBackend : public MidiBackend {
 public:
  std::vector<std::string> ListOutputs() override { return {}; }
  std::vector<std::string> ListInputs() override { return {}; }
  MidiResult OpenOutput(const std::string&, std::unique_ptr<MidiOutputLink>&) override { return kMidiBadDeviceId; }
  MidiResult OpenInput(const std::string&, MidiInputSink&, std::unique_ptr<MidiInputLink>&) override {
    return kMidiBadDeviceId;
  }
};

void Quiet(const char*) {}

// True when a JACK server answers (the one JACK_DEFAULT_SERVER names, if set). Quiet:
// libjack's complaints about a missing server are not for the user.
bool JackServerRunning() {
  auto* const previous = jack_error_callback;
  jack_set_error_function(&Quiet);
  jack_status_t status{};
  jack_client_t* client = jack_client_open("orvo-probe", JackNoStartServer, &status);
  if (client) jack_client_close(client);
  jack_set_error_function(previous);
  return client != nullptr;
}

std::string JackServerName() {
  const char* name = std::getenv("JACK_DEFAULT_SERVER");
  return name && *name ? std::string("\"") + name + "\"" : std::string("the default one");
}

// Empty when the ALSA sequencer can be used, else why not.
std::string AlsaProblem(const RtMidiOptions& options) {
  if (access(options.alsaSequencer.c_str(), R_OK | W_OK) != 0)
    return "the ALSA sequencer (" + options.alsaSequencer + ") is not available";
  try {
    RtMidiIn probe(RtMidi::LINUX_ALSA, options.clientName);
    return {};
  } catch (const RtMidiError& error) {
    return "the ALSA sequencer cannot be opened (" + error.getMessage() + ")";
  } catch (...) {
    return "the ALSA sequencer cannot be opened";
  }
}

}  // namespace

std::optional<MidiApiChoice> ParseMidiApi(std::string_view text) {
  if (text == "jack") return MidiApiChoice::kJack;
  if (text == "alsa") return MidiApiChoice::kAlsa;
  if (text == "auto") return MidiApiChoice::kAuto;
  return std::nullopt;
}

void MidiOutputDrops::Count(uint64_t messages) {
  count.fetch_add(messages);
  if (!told.exchange(true) && tell) tell(kMidiDroppedLine);
}

void MidiOutputDrops::Absorb(uint64_t lost) {
  uint64_t seen = lostSeen.load();
  while (lost > seen && !lostSeen.compare_exchange_weak(seen, lost)) {
  }
  if (lost > seen) Count(lost - seen);
}

uint64_t RtMidiSystem::DroppedMessages() const {
  drops_->Absorb(gJackLostEvents.load(std::memory_order_relaxed));
  return drops_->count.load();
}

RtMidiSystem::RtMidiSystem(std::unique_ptr<MidiBackend> backend, std::shared_ptr<MidiOutputDrops> drops,
                           std::string apiName, std::string problem)
    : QueuedMidiSystem(std::move(backend), Delivery::kWorkerThread),
      drops_(std::move(drops)), apiName_(std::move(apiName)), problem_(std::move(problem)) {}

std::unique_ptr<RtMidiSystem> RtMidiSystem::Create(const RtMidiOptions& options, MessageService* messages) {
  std::unique_ptr<MidiBackend> backend;
  std::string api = "none";
  std::string problem;
  const std::string closed = " MIDI ports stay closed.";
  switch (options.api) {
    case MidiApiChoice::kJack:
      if (JackServerRunning()) {
        api = "jack";
      } else {
        problem = "No JACK server is running (server: " + JackServerName() + ")." + closed;
      }
      break;
    case MidiApiChoice::kAlsa:
      if (std::string why = AlsaProblem(options); why.empty()) {
        api = "alsa";
      } else {
        why[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(why[0])));
        problem = why + "." + closed;
      }
      break;
    case MidiApiChoice::kAuto:
      if (JackServerRunning()) {
        api = "jack";
      } else if (std::string why = AlsaProblem(options); why.empty()) {
        api = "alsa";
      } else {
        problem = "No MIDI system is available: no JACK server is running (server: " + JackServerName() +
                  ") and " + why + "." + closed;
      }
      break;
  }
  auto drops = std::make_shared<MidiOutputDrops>();
  drops->tell = options.tellDropped;
  if (api == "jack") backend = std::make_unique<RtBackend>(RtMidi::UNIX_JACK, options.clientName, drops);
  else if (api == "alsa") backend = std::make_unique<RtBackend>(RtMidi::LINUX_ALSA, options.clientName, drops);
  else backend = std::make_unique<AbsentBackend>();
  if (!problem.empty() && messages) messages->ShowMessage(problem, MessageIcon::kWarning);
  return std::unique_ptr<RtMidiSystem>(new RtMidiSystem(std::move(backend), std::move(drops), api, problem));
}

}  // namespace orvo

// libjack's lock-free ring buffers (RtMidi queues outgoing JACK messages in them) order
// their accesses with barriers that ThreadSanitizer cannot see; the library itself is not
// instrumented. Only consulted by sanitizer builds.
extern "C" const char* __tsan_default_suppressions() { return "race:jack_ringbuffer_\n"; }
