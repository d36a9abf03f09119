#pragma once
// The thread that writes what applications send to the surface. Applications only queue
// (never waiting for the line); the writer takes one message at a time from the queue no
// sooner than the line can carry it, so that messages wait in the queue, where a lamp's
// newer value replaces an older one, and not in the tty's buffer, where nothing can.
// Each message goes to the link in one write, so that no other writer's message can come
// between its bytes. Messages dropped (the queue full, or the line took none of one) are
// counted, and each run of drops is told once, with its count, when the queue has run dry.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/feedback_queue.h"

namespace orvo {

class SerialLink;

// The line that tells a run of `full` + `unwritten` dropped messages.
std::string SurfaceDroppedLine(uint64_t full, uint64_t unwritten);

class FeedbackWriter {
 public:
  using Clock = std::chrono::steady_clock;
  // How far ahead of the wire the writer keeps the line fed, so that it never idles
  // while messages wait.
  static constexpr std::chrono::milliseconds kLead{10};

  // Writes through `link`, whose LineFreeAt() paces it. Starts the writer thread.
  explicit FeedbackWriter(SerialLink& link);
  // Stops and joins the writer; what is still queued is dropped.
  ~FeedbackWriter();
  FeedbackWriter(const FeedbackWriter&) = delete;
  FeedbackWriter& operator=(const FeedbackWriter&) = delete;

  // Any thread; never waits for the line (only for the queue's short lock).
  void Queue(const uint8_t* bytes, uint32_t count);
  // A message dropped before it reached the queue: counted and told as if the queue
  // had been full.
  void CountDropped();
  // Drops everything queued (the device went).
  void Clear();
  // Where a run of drops is told: called on the writer thread with one line; it must
  // only hand the line on.
  void SetTellDropped(std::function<void(const std::string&)> tell);

  struct Counts {
    uint64_t queued = 0, replaced = 0;
    uint64_t dropped = 0;   // the queue was full
    uint64_t unwritten = 0;  // the line took none of it within the write time-out
  };
  Counts Totals() const;

 private:
  void Run();  // the writer thread
  void TellDrops(std::unique_lock<std::mutex>& lock);  // writer thread, mutex_ held

  SerialLink& link_;
  mutable std::mutex mutex_;  // the queue, the counts and stop_
  std::condition_variable wake_;
  FeedbackQueue queue_;
  Counts counts_;
  uint64_t untoldFull_ = 0, untoldUnwritten_ = 0;  // the current run of drops
  std::function<void(const std::string&)> tell_;
  std::array<uint8_t, FeedbackQueue::kLongestMessage> message_;  // the writer thread's
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orvo
