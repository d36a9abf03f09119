#pragma once
// A ForegroundQuery that answers what the test has set: the focused window and the
// executable names of processes; with `tellsChanges`, it tells the finder of each change
// as a compositor does. Thread-safe: the focus finder thread asks while the test changes
// the script.
#include <map>
#include <mutex>
#include <string>

#include "platform/foreground_query.h"

namespace orvo {

class ScriptedForeground : public ForegroundQuery {
 public:
  // `available` false: behaves as a machine without a display.
  explicit ScriptedForeground(bool available = true, std::string why = "No X11 display (DISPLAY is not set)",
                              bool tellsChanges = false)
      : available_(available), tellsChanges_(tellsChanges), why_(std::move(why)) {}

  void Focus(uint32_t processId, uint32_t ownerId = kOwnerOther) { Set(ForegroundWindow{true, processId, ownerId, {}}); }
  // A window whose process is not known, only its application's name.
  void FocusNamed(std::string name) { Set(ForegroundWindow{true, 0, kOwnerOther, std::move(name)}); }
  void FocusNothing() { Set(ForegroundWindow{}); }
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
  bool ReportChanges(std::function<void()> changed) override {
    std::lock_guard lock(mutex_);
    changed_ = std::move(changed);
    return tellsChanges_;
  }

 private:
  void Set(ForegroundWindow window) {
    std::lock_guard lock(mutex_);
    window_ = std::move(window);
    if (tellsChanges_ && changed_) changed_();
  }

  const bool available_;
  const bool tellsChanges_;
  const std::string why_;
  mutable std::mutex mutex_;
  ForegroundWindow window_;
  std::map<uint32_t, std::string> names_;
  int queries_ = 0;
  std::function<void()> changed_;
};

}  // namespace orvo
