#pragma once
// A DispatchTarget for tests across threads: it takes every message, keeps it under a
// lock and lets the test wait for a count. `onShort` (optional) runs on the read thread
// for every short message, before it is stored.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "protocol/dispatch_target.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

class WaitingDispatch : public DispatchTarget {
 public:
  DispatchResult DispatchShortMessage(const ControlDescriptor*, uint32_t message) override {
    if (onShort) onShort(message);
    {
      std::lock_guard lock(mutex_);
      shortMessages_.push_back(message);
    }
    cv_.notify_all();
    return DispatchResult::kTaken;
  }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    {
      std::lock_guard lock(mutex_);
      longMessages_.emplace_back(buffer->data, buffer->data + buffer->bytesRecorded);
    }
    SysExPool::GiveBackToOwner(buffer);
    cv_.notify_all();
    return DispatchResult::kTaken;
  }

  bool WaitForShort(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return shortMessages_.size() >= count; });
  }
  bool WaitForLong(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return longMessages_.size() >= count; });
  }
  std::vector<uint32_t> ShortMessages() const {
    std::lock_guard lock(mutex_);
    return shortMessages_;
  }
  std::vector<std::vector<uint8_t>> LongMessages() const {
    std::lock_guard lock(mutex_);
    return longMessages_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    shortMessages_.clear();
    longMessages_.clear();
  }

  std::function<void(uint32_t)> onShort;

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<uint32_t> shortMessages_;
  std::vector<std::vector<uint8_t>> longMessages_;
};

}  // namespace orvo::test
