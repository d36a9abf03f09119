#pragma once
// A KeyInjector that records every call: one entry per SendInput, with its records.
#include <mutex>
#include <vector>

#include "platform/key_injector.h"

namespace orvo {

class RecordingKeyInjector : public KeyInjector {
 public:
  void SendInput(const KeyboardInput* inputs, uint32_t count) override {
    std::lock_guard lock(mutex_);
    calls_.emplace_back(inputs, inputs + count);
  }
  std::vector<std::vector<KeyboardInput>> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<KeyboardInput>> calls_;
};

}  // namespace orvo
