#pragma once
// A ForegroundQuery that answers what the test has set: the focused window and the
// executable names of processes. Thread-safe: the focus finder thread asks while the
// test changes the script.
#include <map>
#include <mutex>
#include <string>

#include "platform/foreground_query.h"

namespace orvo {

class ScriptedForeground : public ForegroundQuery {
 public:
  // `available` false: behaves as a machine without a display.
  explicit ScriptedForeground(bool available = true, std::string why = "No X11 display (DISPLAY is not set)")
      : available_(available), why_(std::move(why)) {}

  void Focus(uint32_t processId, uint32_t ownerId = kOwnerOther) {
    std::lock_guard lock(mutex_);
    window_ = ForegroundWindow{true, processId, ownerId};
  }
  void FocusNothing() {
    std::lock_guard lock(mutex_);
    window_ = ForegroundWindow{};
  }
  void SetProcessName(uint32_t processId, std::string baseName) {
    std::lock_guard lock(mutex_);
    names_[processId] = std::move(baseName);
  }
  int Queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
  }

  bool Available() override { return available_; }
  std::string Why() override { return available_ ? std::string() : why_; }
  ForegroundWindow Foreground() override {
    std::lock_guard lock(mutex_);
    ++queries_;
    return window_;
  }
  std::string ProcessBaseName(uint32_t processId) override {
    std::lock_guard lock(mutex_);
    const auto found = names_.find(processId);
    return found == names_.end() ? std::string() : found->second;
  }

 private:
  const bool available_;
  const std::string why_;
  mutable std::mutex mutex_;
  ForegroundWindow window_;
  std::map<uint32_t, std::string> names_;
  int queries_ = 0;
};

}  // namespace orvo
