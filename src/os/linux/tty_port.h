#pragma once
// One open tty in the bridge's overlapped style. Operations complete at once when they
// can; otherwise they pend, and the port's watcher thread, asleep in poll() on the tty and
// a wake-up descriptor, completes them (sets the record's event) when bytes arrive, room
// to write appears, a time-out expires or the tty hangs up. Nothing pends: no wake-ups.
//
// After a hang-up (device unplugged) reads and writes fail at once, and a wait for
// received characters pends until the port is closed, so that a reader that has not yet
// been told of the disconnection sleeps instead of spinning.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/bridge.h"

namespace orvo {

class TtyPort {
 public:
  // Takes over `fd` (a tty opened non-blocking). `onHangUp` runs once, on the port's
  // watcher thread, when the tty hangs up.
  TtyPort(int fd, std::function<void()> onHangUp);
  ~TtyPort();
  TtyPort(const TtyPort&) = delete;
  TtyPort& operator=(const TtyPort&) = delete;

  // Completes every pending operation as failed, stops the watcher, closes the tty.
  // False when already closed.
  bool Close();

  void SetTimeouts(const CommTimeouts& timeouts);
  bool Flush();  // drops both queues
  bool GetState(DeviceControlBlock& dcb);
  bool SetState(const DeviceControlBlock& dcb);
  bool SetEventMask(uint32_t mask);
  uint32_t LastError() const;

  bool WaitEvent(uint32_t& events, Overlapped& ov);
  bool QueueStatus(uint32_t& pending);
  bool Read(uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov);
  bool Write(const uint8_t* bytes, uint32_t count, uint32_t& written, Overlapped& ov);
  // False while `ov` is still pending here, or when its operation failed.
  bool OverlappedResult(Overlapped& ov, uint32_t& transferred);
  bool Purge(uint32_t flags);

  bool HungUp() const;
  // Looks at the tty now rather than waiting for the watcher: true when it has hung up.
  bool CheckHungUp();
  int Fd() const { return fd_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct PendingRead {
    Overlapped* ov = nullptr;
    uint8_t* buffer = nullptr;
    uint32_t count = 0;
    uint32_t got = 0;
    std::optional<Clock::time_point> deadline;
  };
  struct PendingWrite {
    Overlapped* ov = nullptr;
    std::vector<uint8_t> bytes;  // a copy: the caller need not keep its buffer
    uint32_t done = 0;
    std::optional<Clock::time_point> deadline;
  };

  void WatchLoop();  // watcher thread
  void Wake();
  bool Fail(Overlapped& ov, int error);  // completes `ov` as failed at once; false
  void Pend(Overlapped& ov);
  void Complete(Overlapped*& ov, bool succeeded, uint32_t transferred);
  void MarkHungUpLocked();
  bool IsGone(int error) const;
  void ServiceInputLocked();
  void ServiceOutputLocked();
  void ExpireDeadlinesLocked();
  int PollTimeoutLocked() const;

  const int fd_;
  int wakeFd_ = -1;
  std::function<void()> onHangUp_;

  mutable std::mutex mutex_;
  bool closed_ = false;
  bool hungUp_ = false;
  bool hangUpReported_ = false;
  uint32_t lastError_ = 0;
  uint32_t eventMask_ = 0;
  CommTimeouts timeouts_{};
  Overlapped* wait_ = nullptr;
  PendingRead read_;
  PendingWrite write_;
  std::thread watcher_;
};

}  // namespace orvo
