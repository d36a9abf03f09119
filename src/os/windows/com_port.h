#pragma once
// One open COM port in the bridge's overlapped style. The port's reader thread keeps an
// overlapped ReadFile pending on the port and moves what arrives into a receive queue;
// waits for received characters and reads are served from that queue, at once when it
// holds enough, otherwise when the reader brings more or the read's time-out expires.
// Writes are overlapped writes that the caller's thread waits for, bounded by the write
// time-out, so they always complete at once.
//
// The reader asks for one byte with a total time-out, then for what the driver holds
// beyond it: read time-outs of "interval MAXDWORD" behave differently under Wine, where
// "MAXDWORD/MAXDWORD/n" never ends with data waiting and "MAXDWORD/0/0" waits for data.
//
// After an error that means the device went (unplugged), reads and writes fail at once,
// and a wait for received characters pends until the port is closed, so that a reader
// that has not yet been told of the disconnection sleeps instead of spinning.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/bridge.h"

namespace orvo {

class ComPort {
 public:
  // Takes over `handle` (opened with FILE_FLAG_OVERLAPPED). `onGone` runs once, on the
  // port's reader thread, when the device goes.
  ComPort(HANDLE handle, std::function<void()> onGone);
  ~ComPort();
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;

  // Completes every pending operation as failed, stops the reader, closes the port.
  // False when already closed.
  bool Close();

  void SetTimeouts(const CommTimeouts& timeouts);
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

  bool Gone() const;

 private:
  using Clock = std::chrono::steady_clock;
  struct PendingRead {
    Overlapped* ov = nullptr;
    uint8_t* buffer = nullptr;
    uint32_t count = 0;
    uint32_t got = 0;
    std::optional<Clock::time_point> deadline;
  };

  void ReadLoop();  // reader thread
  bool CurrentState(DCB& state);  // under mutex_
  // One overlapped ReadFile of up to `count` bytes; the count read, or nothing when the
  // port is closing or the device went.
  std::optional<DWORD> ReadPort(uint8_t* buffer, DWORD count);
  DWORD WaitMillisecondsLocked() const;  // until the pending read's deadline
  void TakeReceivedLocked();             // serves the pending wait and read from the queue
  void ExpireDeadlineLocked();
  bool Fail(Overlapped& ov, DWORD error);  // completes `ov` as failed at once; false
  void Complete(Overlapped*& ov, bool succeeded, uint32_t transferred);
  void MarkGone();  // reader thread

  HANDLE handle_;
  std::function<void()> onGone_;
  HANDLE readEvent_;
  HANDLE wakeEvent_;  // set when a pending read's deadline changes, and at close

  mutable std::mutex mutex_;
  bool closed_ = false;
  bool gone_ = false;
  DWORD lastError_ = 0;
  uint32_t eventMask_ = 0;
  CommTimeouts timeouts_{};
  std::deque<uint8_t> received_;
  Overlapped* wait_ = nullptr;
  PendingRead read_;

  std::mutex writeMutex_;  // one write at a time on the port's write record
  HANDLE writeEvent_;
  std::thread reader_;
};

}  // namespace orvo
