#include "os/linux/path_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace orvo {

PathWatcher::PathWatcher(const std::string& path, std::function<void()> onChange)
    : onChange_(std::move(onChange)) {
  const std::filesystem::path p(path);
  name_ = p.filename().string();
  const std::string dir = p.has_parent_path() ? p.parent_path().string() : ".";
  inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotifyFd_ < 0) return;
  constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB;
  if (inotify_add_watch(inotifyFd_, dir.c_str(), kMask) < 0) return;
  thread_ = std::make_unique<FdWatchThread>(inotifyFd_, [this] { Drain(); });
}

PathWatcher::~PathWatcher() {
  thread_.reset();  // joined before the descriptor goes
  if (inotifyFd_ >= 0) close(inotifyFd_);
}

void PathWatcher::Drain() {
  alignas(inotify_event) char buffer[4096];
  bool ours = false;
  for (;;) {
    const ssize_t length = read(inotifyFd_, buffer, sizeof buffer);
    if (length <= 0) break;
    for (ssize_t at = 0; at < length;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof(inotify_event);
      if (event.len > 0 && name_ == name) ours = true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
    }
  }
  if (ours) onChange_();  // one call for a burst of events
}

}  // namespace orvo
