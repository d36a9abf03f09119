#include "link/feedback_writer.h"

#include <array>

#include "link/serial_link.h"

namespace orvo {

FeedbackWriter::FeedbackWriter(SerialLink& link) : link_(link), thread_([this] { Run(); }) {}

FeedbackWriter::~FeedbackWriter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void FeedbackWriter::Queue(const uint8_t* bytes, uint32_t count) {
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    wasEmpty = queue_.Empty();
    switch (queue_.Push(bytes, count)) {
      case FeedbackQueue::Pushed::kQueued: ++counts_.queued; break;
      case FeedbackQueue::Pushed::kReplaced: ++counts_.replaced; break;
      case FeedbackQueue::Pushed::kDropped: ++counts_.dropped; break;
    }
  }
  if (wasEmpty) wake_.notify_one();
}

void FeedbackWriter::Clear() {
  std::lock_guard lock(mutex_);
  queue_.Clear();
}

FeedbackWriter::Counts FeedbackWriter::Totals() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void FeedbackWriter::Run() {
  std::array<uint8_t, FeedbackQueue::kPieceSize> message;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.Empty(); });
    if (stop_) return;
    const Clock::time_point sendAt = link_.LineFreeAt() - kLead;
    if (Clock::now() < sendAt) {
      wake_.wait_until(lock, sendAt, [&] { return stop_; });
      continue;
    }
    const uint32_t count = queue_.Pop(message);
    lock.unlock();
    link_.WriteDevice(message.data(), count);  // whole or not at all; lost when the device went
    lock.lock();
  }
}

}  // namespace orvo
