#pragma once
// A manual-reset event on the standard library: stays signalled until Reset, wakes
// every waiter. Waits can be cut short by a cancel flag plus Interrupt(), so that
// threads blocked on an event can be stopped at exit and joined.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvo {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set() {
    {
      std::lock_guard lock(mutex_);
      set_ = true;
    }
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
  }
  bool IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
  }
  // Waits until signalled (true), or until `cancel` is true (false). Whoever sets the
  // cancel flag calls Interrupt() afterwards so that the waiter looks at it again.
  bool Wait(const std::atomic<bool>* cancel = nullptr) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return set_ || (cancel && cancel->load()); });
    return set_;
  }
  // Waits at most `timeout`; true when signalled.
  bool WaitFor(std::chrono::milliseconds timeout, const std::atomic<bool>* cancel = nullptr) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, timeout, [&] { return set_ || (cancel && cancel->load()); });
    return set_;
  }
  void Interrupt() {
    { std::lock_guard lock(mutex_); }
    cv_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_;
};

}  // namespace orvo
