#include "link/feedback_writer.h"

#include <array>
#include <utility>

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
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    wake = queue_.Empty();
    switch (queue_.Push(bytes, count)) {
      case FeedbackQueue::Pushed::kQueued: ++counts_.queued; break;
      case FeedbackQueue::Pushed::kReplaced: ++counts_.replaced; break;
      case FeedbackQueue::Pushed::kDropped:
        ++counts_.dropped;
        ++untoldFull_;
        break;
    }
  }
  if (wake) wake_.notify_one();
}

void FeedbackWriter::CountDropped() {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    ++counts_.dropped;
    ++untoldFull_;
    wake = queue_.Empty();
  }
  if (wake) wake_.notify_one();
}

void FeedbackWriter::SetTellDropped(std::function<void(const std::string&)> tell) {
  std::lock_guard lock(mutex_);
  tell_ = std::move(tell);
}

std::string SurfaceDroppedLine(uint64_t full, uint64_t unwritten) {
  constexpr const char* kFull = "more than its queue holds";
  constexpr const char* kUnwritten = "not taken by the line in time";
  const uint64_t count = full + unwritten;
  std::string line = "Surface: " + std::to_string(count) + (count == 1 ? " message" : " messages") +
                     " from applications dropped";
  if (full && unwritten)
    return line + " (" + std::to_string(full) + " " + kFull + ", " + std::to_string(unwritten) + " " + kUnwritten + ")";
  return line + ", " + (full ? kFull : kUnwritten);
}

void FeedbackWriter::TellDrops(std::unique_lock<std::mutex>& lock) {
  if (!untoldFull_ && !untoldUnwritten_) return;
  const std::string line = SurfaceDroppedLine(std::exchange(untoldFull_, 0), std::exchange(untoldUnwritten_, 0));
  if (!tell_) return;
  const auto tell = tell_;
  lock.unlock();
  tell(line);
  lock.lock();
}

void FeedbackWriter::Clear() {
  {
    std::lock_guard lock(mutex_);
    queue_.Clear();
  }
  wake_.notify_one();  // a run of drops before the device went is still told
}

FeedbackWriter::Counts FeedbackWriter::Totals() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void FeedbackWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !queue_.Empty() || untoldFull_; });
    if (stop_) return;
    if (queue_.Empty()) {
      TellDrops(lock);  // the run of drops has ended: the queue ran dry
      continue;
    }
    const Clock::time_point sendAt = link_.LineFreeAt() - kLead;
    if (Clock::now() < sendAt) {
      wake_.wait_until(lock, sendAt, [&] { return stop_; });
      continue;
    }
    const uint32_t count = queue_.Pop(message_);
    lock.unlock();
    // One write for the whole message: whole or not at all.
    const bool written = link_.WriteDevice(message_.data(), count);
    const bool deviceWent = !written && !link_.Link().IsOpen();  // lost with the device: no drop
    lock.lock();
    if (!written && !deviceWent) {
      ++counts_.unwritten;
      ++untoldUnwritten_;
    }
    if (queue_.Empty()) TellDrops(lock);
  }
}

}  // namespace orvo
