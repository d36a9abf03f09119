#pragma once
// A main thread for tests: posts wait in a queue until the test runs them.
#include <deque>
#include <functional>
#include <mutex>

#include "platform/main_thread_poster.h"

namespace orvo {

class QueuedMainThread : public MainThreadPoster {
 public:
  void Post(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  // Runs every posted task, including those posted meanwhile, on the calling thread.
  std::size_t RunPending() {
    std::size_t ran = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return ran;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
      ++ran;
    }
  }
  std::size_t Pending() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace orvo
