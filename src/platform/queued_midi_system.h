#pragma once
// A device-numbered MIDI system on top of a MidiBackend. It owns what every library needs
// in the same way: handles (ids into a table, never reused, so a stale handle is refused
// with kMidiInvalidHandle rather than reaching a closed port), the prepare/queue rules of
// long-message headers, the input ports' queues of empty buffers (a long message fills
// them in order, each up to its bufferLength), and the handler callbacks, which run off
// the caller's thread: on one delivery thread per system, or, for tests, whenever the
// test calls DeliverPending().
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi_backend.h"
#include "platform/midi_system.h"

namespace orvo {

class QueuedMidiSystem : public MidiSystem {
 public:
  enum class Delivery { kWorkerThread, kManual };

  QueuedMidiSystem(std::unique_ptr<MidiBackend> backend, Delivery delivery);
  // Closes what is still open without calling any handler and stops the delivery thread.
  ~QueuedMidiSystem() override;
  QueuedMidiSystem(const QueuedMidiSystem&) = delete;
  QueuedMidiSystem& operator=(const QueuedMidiSystem&) = delete;

  // Manual delivery: runs every queued callback on the calling thread; the number run.
  std::size_t DeliverPending();
  // Returns once nothing is queued or being delivered (worker-thread delivery).
  void WaitIdle();
  // Empty buffers queued on an input port; 0 for an unknown handle.
  std::size_t QueuedInputBuffers(MidiInHandle handle) const;
  bool IsOpen(std::uintptr_t handle) const;
  std::size_t OpenPortCount() const;

  uint32_t OutDeviceCount() override;
  uint32_t InDeviceCount() override;
  MidiResult OutDeviceName(uint32_t device, std::string& name) override;
  MidiResult InDeviceName(uint32_t device, std::string& name) override;

  MidiResult OutOpen(MidiOutHandle& handle, uint32_t device, MidiHandler* handler) override;
  MidiResult OutShortMessage(MidiOutHandle handle, uint32_t message) override;
  MidiResult OutPrepareHeader(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutLongMessage(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutUnprepareHeader(MidiOutHandle handle, MidiHeader* header) override;
  MidiResult OutReset(MidiOutHandle handle) override;
  MidiResult OutClose(MidiOutHandle handle) override;

  MidiResult InOpen(MidiInHandle& handle, uint32_t device, MidiHandler* handler,
                    bool statusMessages) override;
  MidiResult InPrepareHeader(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InUnprepareHeader(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InAddBuffer(MidiInHandle handle, MidiHeader* header) override;
  MidiResult InStart(MidiInHandle handle) override;
  MidiResult InReset(MidiInHandle handle) override;
  MidiResult InClose(MidiInHandle handle) override;
  // Straight to the library, which decides what a stored name opens.
  MidiResult OutOpenByName(MidiOutHandle& handle, const std::string& device, const std::string& ownPort,
                           MidiHandler* handler) override;
  MidiResult InOpenByName(MidiInHandle& handle, const std::string& device, const std::string& ownPort,
                          MidiHandler* handler) override;

 protected:
  MidiBackend& Backend() { return *backend_; }

 private:
  struct Port;
  struct Event;
  class InputSink;

  std::shared_ptr<Port> Find(std::uintptr_t handle, bool input) const;  // mutex_ held
  MidiResult PrepareHeader(std::uintptr_t handle, bool input, MidiHeader* header);
  MidiResult UnprepareHeader(std::uintptr_t handle, bool input, MidiHeader* header);
  MidiResult NameOf(bool input, uint32_t device, std::string& name);
  void Enqueue(Event event);                                  // mutex_ held
  void Deliver(Event& event);                                 // mutex_ not held
  // Waits until `port` has no queued or running callback; manual delivery runs them here.
  void Drain(const std::shared_ptr<Port>& port, std::unique_lock<std::mutex>& lock);
  void OnInput(const std::shared_ptr<Port>& port, const uint8_t* bytes, std::size_t count);
  void RunWorker();  // the delivery thread's entry

  const std::unique_ptr<MidiBackend> backend_;
  const Delivery delivery_;

  std::mutex namesMutex_;
  std::vector<std::string> outNames_, inNames_;
  bool outListed_ = false, inListed_ = false;

  mutable std::mutex mutex_;  // the table, the queue and every port's state
  std::condition_variable wake_;     // an event was queued, or stop
  std::condition_variable drained_;  // a callback finished
  std::map<std::uintptr_t, std::shared_ptr<Port>> ports_;
  std::uintptr_t nextHandle_ = 1;
  std::deque<Event> queue_;
  std::size_t running_ = 0;
  bool stop_ = false;
  std::thread::id workerId_;
  std::thread worker_;
};

}  // namespace orvo
