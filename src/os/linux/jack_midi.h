#pragma once
// MIDI on JACK (also PipeWire's JACK library): one client for the whole program, one port
// per Keyset and direction. Its process callback only moves whole messages between the
// ports' queues and JACK's buffers: what an output's queue holds goes out as far as each
// period's buffer allows and the rest in the next periods; what an input hears is queued
// for the service thread. Port registrations wake the service thread, which connects the
// ports whose devices have appeared (never from inside a JACK callback).
//
// The server may go and come back (a patchbay restarts it to change the period or the
// device): the shutdown callback only wakes the service thread, which makes sure the
// client is gone, closes it and opens a new one on a timer; every open port is then
// registered again under its name and connected as stored. While no server is there,
// sends fail and are counted. A system made without a server waits for one the same way.
//
// Each port of ours that sends to an application is connected before any port that hears
// that application: JACK (jackd) runs a loop in the graph by delaying, by a period, the
// edge whose connection closed the loop, and a client that feeds us through a delayed
// edge never holds up our process callback, even one that never runs its own.
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/linux/own_midi_ports.h"

namespace orvo {

class JackMidi : public OwnMidiPorts {
 public:
  enum class Server { kNeverSeen, kRunning, kStopped };
  using Tell = std::function<void(const std::string&)>;

  // nullptr when no JACK server answers and `waitForServer` is false; with it, a system
  // that opens its client once a server answers.
  static std::unique_ptr<JackMidi> Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                        std::size_t queueBytes, RealTimeProbe probe, bool waitForServer,
                                        Tell tellState);
  ~JackMidi() override;

  // Any thread, without waiting.
  Server State() const { return state_.load(std::memory_order_acquire); }
  // The client's name as the server granted it last; empty before any server answered.
  std::string ClientName();
  // Messages refused because no server was there. Any thread.
  uint64_t RefusedWhileAway() const { return refused_.load(std::memory_order_relaxed); }

  std::vector<std::string> ListOutputs() override;
  std::vector<std::string> ListInputs() override;

  static const char* const kStoppedLine;
  static const char* const kBackLine;
  static const char* const kStartedLine;

 protected:
  MidiResult MakePort(OwnMidiPort& port, const std::string& wanted) override;
  void DropPort(OwnMidiPort& port) override;
  void ConnectPorts(const std::vector<OwnMidiPort*>& ports) override;
  MidiResult SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) override;
  int Maintain() override;

 private:
  JackMidi(const std::string& baseName, std::shared_ptr<MidiDrops> drops, std::size_t queueBytes,
           RealTimeProbe probe, Tell tellState);
  // A new client with our callbacks, every open port registered and connected, active;
  // false when no server answers. Service thread or the opening thread; `tell` says so.
  bool Attach(bool tell);
  // The server is gone: the client closed, the ports unregistered. Service thread.
  void Detach();
  // JACK's process thread.
  static int OnProcess(jack_nframes_t frames, void* self);
  // JACK's notification thread: only wakes the service thread.
  static void OnPortRegistration(jack_port_id_t port, int registered, void* self);
  // JACK's thread that finds the server gone (any of its threads): only flags and wakes.
  static void OnShutdown(jack_status_t code, const char* reason, void* self);
  void Process(jack_nframes_t frames);
  static std::size_t CostOf(std::size_t size);
  // Registers our port on the current client; portsMutex_ held.
  bool Register(OwnMidiPort& port, const std::string& wanted);
  // Other clients' MIDI ports with any of `flags`, ours left out; portsMutex_ held.
  std::vector<std::string> OthersPorts(unsigned long flags);
  std::vector<std::string> Listed(unsigned long flags);
  void Connect(OwnMidiPort& port, const std::vector<std::string>& candidates);

  const std::string baseName_;  // what we asked for: the base of our own clients' names
  const Tell tellState_;
  jack_client_t* client_ = nullptr;  // portsMutex_; none while no server is there
  std::string clientName_;           // portsMutex_
  std::size_t budget_ = 0;           // what one port writes into one period, at most
  std::atomic<Server> state_{Server::kNeverSeen};
  std::atomic<bool> up_{false};        // the client is active: sends are queued
  std::atomic<bool> shutdown_{false};  // JACK said the server went
  std::atomic<uint64_t> refused_{0};
  uint64_t refusedTold_ = 0;  // service thread
  // Service thread: the pass count when the shutdown was first looked at.
  uint32_t passesAtShutdown_ = 0;
  std::chrono::steady_clock::time_point shutdownSeen_{};
  bool shutdownLooked_ = false;
};

}  // namespace orvo
