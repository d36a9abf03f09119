#include "os/linux/fd_watch_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace orvo {

FdWatchThread::FdWatchThread(int fd, std::function<void()> onReadable, std::function<void()> onEnded)
    : fd_(fd), onReadable_(std::move(onReadable)), onEnded_(std::move(onEnded)) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ >= 0) thread_ = std::thread([this] { Loop(); });
}

FdWatchThread::~FdWatchThread() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
  thread_.join();
  close(wakeFd_);
}

void FdWatchThread::Loop() {
  for (;;) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;  // stop
    // A peer that hangs up leaves its last data readable with the hang-up: read it first.
    if (fds[1].revents & POLLIN) onReadable_();
    if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) {
      if (onEnded_) onEnded_();
      return;
    }
  }
}

}  // namespace orvo
