#pragma once
// Watches one path for appearing, going or changing (a device node, or a symlink to one)
// with inotify on its parent directory, and calls back each time. No polling.
#include <functional>
#include <memory>
#include <string>

#include "os/linux/fd_watch_thread.h"

namespace orvo {

class PathWatcher {
 public:
  // `onChange` runs on the watcher's own thread. When the parent directory cannot be
  // watched (it does not exist), Active() is false and nothing is reported.
  PathWatcher(const std::string& path, std::function<void()> onChange);
  ~PathWatcher();
  PathWatcher(const PathWatcher&) = delete;
  PathWatcher& operator=(const PathWatcher&) = delete;

  bool Active() const { return thread_ && thread_->Running(); }

 private:
  void Drain();  // watcher thread

  int inotifyFd_ = -1;
  std::string name_;
  std::function<void()> onChange_;
  std::unique_ptr<FdWatchThread> thread_;
};

}  // namespace orvo
