#include "os/linux/directory_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace orvo {

InotifyDirectoryWatch::~InotifyDirectoryWatch() { Stop(); }

bool InotifyDirectoryWatch::Start(const std::filesystem::path& directory, Changed changed) {
  Stop();
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return false;
  constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE;
  if (inotify_add_watch(fd_, directory.c_str(), kEvents) < 0) {
    Stop();
    return false;
  }
  changed_ = std::move(changed);
  thread_ = std::make_unique<FdWatchThread>(fd_, [this] { ReadEvents(); });
  return thread_->Running();
}

void InotifyDirectoryWatch::Stop() {
  thread_.reset();  // joins: no callback after this
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void InotifyDirectoryWatch::ReadEvents() {
  alignas(inotify_event) std::array<char, 4096> buffer;
  for (;;) {
    const ssize_t length = ::read(fd_, buffer.data(), buffer.size());
    if (length <= 0) return;
    for (ssize_t at = 0; at < length;) {
      inotify_event event;
      std::memcpy(&event, buffer.data() + at, sizeof event);
      if (event.len > 0) changed_(std::string(buffer.data() + at + sizeof event));
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
}

}  // namespace orvo
