#pragma once
// The thread that writes what applications send to the surface. Applications only queue
// (never waiting for the line); the writer takes one message at a time from the queue no
// sooner than the line can carry it, so that messages wait in the queue, where a lamp's
// newer value replaces an older one, and not in the tty's buffer, where nothing can.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "link/feedback_queue.h"

namespace orvo {

class SerialLink;

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
  // Drops everything queued (the device went).
  void Clear();

  struct Counts {
    uint64_t queued = 0, replaced = 0, dropped = 0;
  };
  Counts Totals() const;

 private:
  void Run();  // the writer thread

  SerialLink& link_;
  mutable std::mutex mutex_;  // the queue, the counts and stop_
  std::condition_variable wake_;
  FeedbackQueue queue_;
  Counts counts_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace orvo
