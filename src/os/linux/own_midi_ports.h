#pragma once
// What the JACK and the ALSA backends share: the program's own ports (one per Keyset and
// direction, all on one client), each with a preallocated queue of whole messages, and
// one service thread of the program's own that the library's thread wakes without
// locking: it hands what the inputs heard to their sinks, tells drops, and connects the
// ports whose devices have appeared.
//
// The library's real-time side (JACK's process callback, the ALSA input thread) finds
// the ports in a fixed table of atomic pointers; a port is taken out of the table and
// the real-time side's current pass is waited for (however long it takes, without the
// table's lock and without spinning) before the port is freed.
#include <semaphore.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/linux/message_ring.h"
#include "platform/midi_backend.h"

namespace orvo {

// Messages dropped because a port's queue was full, shared by every port; each drop is
// counted, and each run of drops is told once, with its exact count, when it has ended.
struct MidiDrops {
  std::atomic<uint64_t> total{0};
  // Called on the backend's service thread with one line; must only hand it on.
  std::function<void(const std::string&)> tell;
};

// The line that tells a run of drops.
std::string MidiDroppedLine(const std::string& port, bool output, uint64_t count);

struct OwnMidiPort {
  OwnMidiPort(bool isOutput, std::string ownName, std::string stored, std::size_t queueBytes)
      : output(isOutput), name(std::move(ownName)), device(std::move(stored)), queue(queueBytes) {}
  const bool output;
  const std::string name;    // ours, as the library granted it
  const std::string device;  // the other end, as stored (compared ignoring case)
  MessageRing queue;         // output: sending thread -> library; input: library -> service thread
  MidiInputSink* sink = nullptr;  // input
  std::atomic<void*> jackPort{nullptr};  // JACK: our jack_port_t; none while the server is away
  int alsaPort = -1;                      // ALSA: our port number
  bool closing = false;                   // portsMutex_: being closed, no longer served
  std::atomic<uint64_t> unreported{0};  // dropped and not yet told
  std::mutex sendMutex;                 // output: one producer at a time
};

class OwnMidiPorts : public MidiBackend {
 public:
  static constexpr std::size_t kMaxPorts = 512;

  // Test hook: called on the real-time thread on entering (true) and leaving (false) its work.
  using RealTimeProbe = void (*)(bool entering);

  OwnMidiPorts(std::shared_ptr<MidiDrops> drops, std::size_t queueBytes, RealTimeProbe probe);
  ~OwnMidiPorts() override;

  MidiResult OpenOutput(const std::string& device, const std::string& ownPort,
                        std::unique_ptr<MidiOutputLink>& link) override;
  MidiResult OpenInput(const std::string& device, const std::string& ownPort, MidiInputSink& sink,
                       std::unique_ptr<MidiInputLink>& link) override;

 protected:
  // The library's part of opening: makes our port (its name `wanted`, or another if that
  // one is taken) and fills in what identifies it; the port is not yet in the table.
  virtual MidiResult MakePort(OwnMidiPort& port, const std::string& wanted) = 0;
  // Removes our port from the library (it is out of the table and no longer used).
  virtual void DropPort(OwnMidiPort& port) = 0;
  // Connects every port in `ports` whose device is there and not yet connected.
  // Service thread or opening thread, portsMutex_ held.
  virtual void ConnectPorts(const std::vector<OwnMidiPort*>& ports) = 0;
  // A message for an output port, from the sending thread; the JACK side queues it for
  // its process callback, the ALSA side sends it at once.
  virtual MidiResult SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count);

  // The real-time side, between Enter and Leave: the table as it is now.
  void Enter();
  void Leave();
  template <class Visit>
  void ForEachLivePort(Visit visit) {
    const std::size_t high = high_.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < high; ++i)
      if (OwnMidiPort* port = live_[i].load()) visit(*port);  // ordered after Enter, against Close
  }
  // A message heard on input `port`, on the real-time side: queued for the service thread
  // (which Wake wakes) or counted as dropped.
  bool Heard(OwnMidiPort& port, const uint8_t* bytes, std::size_t count);
  // Output, real-time side: after a drain that left the queue empty, a run of drops ends.
  void Drained(OwnMidiPort& port);
  // Any thread, real-time included: wakes the service thread.
  void Wake() { sem_post(&wake_); }
  // Any thread: the next wake also connects ports.
  void WantConnections() {
    connectWanted_.store(true, std::memory_order_release);
    Wake();
  }
  // The service thread, each time it wakes (and when the time it asked for has passed),
  // without portsMutex_: the library's own upkeep. Returns in how many milliseconds it
  // wants to run again, or -1 when only a wake will do.
  virtual int Maintain() { return -1; }
  // Starts the service thread; the derived class calls it once its library is ready.
  void StartService();
  // Stops it; the derived class calls it before it closes its library.
  void StopService();
  void Drop(OwnMidiPort& port, uint64_t count = 1);
  // Every port not being closed (with `closing`, those too); portsMutex_ held.
  std::vector<OwnMidiPort*> OpenPorts(bool closing = false);
  // Passes of the real-time side begun and ended so far (odd: one is under way).
  uint32_t Passes() const { return passes_.load(); }

  const std::shared_ptr<MidiDrops> drops_;
  const RealTimeProbe probe_;
  std::mutex portsMutex_;  // the open ports; never taken by the real-time side

 private:
  class OutputLink;
  class InputLink;
  MidiResult Open(bool output, const std::string& device, const std::string& ownPort, MidiInputSink* sink,
                  OwnMidiPort*& made);
  void Close(OwnMidiPort* port);
  void RunService();           // the service thread's entry
  void TellDrops(OwnMidiPort& port);

  const std::size_t queueBytes_;
  std::array<std::atomic<OwnMidiPort*>, kMaxPorts> live_{};
  std::atomic<std::size_t> high_{0};       // slots in use are below this
  std::atomic<uint32_t> passes_{0};        // odd while the real-time side is in a pass
  std::atomic<uint32_t> closers_{0};       // threads waiting for the pass to end
  std::vector<std::unique_ptr<OwnMidiPort>> ports_;  // portsMutex_
  sem_t wake_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> connectWanted_{false};
  std::thread service_;
};

}  // namespace orvo
