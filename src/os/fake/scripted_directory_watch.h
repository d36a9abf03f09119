#pragma once
// A DirectoryWatch that reports what the test tells it to, on the test's thread.
#include <mutex>

#include "platform/directory_watch.h"

namespace orvo {

class ScriptedDirectoryWatch : public DirectoryWatch {
 public:
  bool Start(const std::filesystem::path& directory, Changed changed, Presence presence) override {
    std::lock_guard lock(mutex_);
    directory_ = directory;
    changed_ = std::move(changed);
    presence_ = std::move(presence);
    return true;
  }
  void Stop() override {
    std::lock_guard lock(mutex_);
    changed_ = nullptr;
    presence_ = nullptr;
  }
  // Reports the directory gone or back, as the watch thread would.
  void ReportPresence(bool present) {
    std::lock_guard lock(mutex_);
    if (presence_) presence_(present);
  }
  // Reports `fileName` as changed, as the watch thread would.
  void Report(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    if (changed_) changed_(fileName);
  }
  std::filesystem::path Directory() const {
    std::lock_guard lock(mutex_);
    return directory_;
  }

 private:
  mutable std::mutex mutex_;
  std::filesystem::path directory_;
  Changed changed_;
  Presence presence_;
};

}  // namespace orvo
