#pragma once
// LinkHooks that log every call in order and keep the tray's connection state as the
// tray would: it changes only when a new icon is shown.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "link/link_hooks.h"

namespace orvo::test {

class RecordingLinkHooks : public LinkHooks {
 public:
  void CreateFocusState() override { Log("CreateFocusState"); ++focusStates; }
  void DestroyFocusState() override { Log("DestroyFocusState"); --focusStates; }
  void ResumeFocusFinder() override { Log("ResumeFocusFinder"); }
  void PauseFocusFinder() override { Log("PauseFocusFinder"); }
  void RemoveTrayIcon() override { Log("RemoveTrayIcon"); }
  void ShowConnectionState(ConnectionState shown) override {
    Log(shown == ConnectionState::kConnected ? "ShowConnectionState connected" : "ShowConnectionState disconnected");
    state = shown;
  }
  ConnectionState ShownState() const override { return state.load(); }

  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void ClearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }

  std::atomic<ConnectionState> state{ConnectionState::kDisconnected};
  std::atomic<int> focusStates{0};

 private:
  void Log(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

// The calls of a connection and of a disconnection, in their order.
inline const std::vector<std::string> kConnectCalls{"CreateFocusState", "ResumeFocusFinder", "RemoveTrayIcon",
                                                    "ShowConnectionState connected"};
inline const std::vector<std::string> kDisconnectCalls{"PauseFocusFinder", "DestroyFocusState", "RemoveTrayIcon",
                                                       "ShowConnectionState disconnected"};
// One sequence of calls after another.
inline std::vector<std::string> Then(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

}  // namespace orvo::test
