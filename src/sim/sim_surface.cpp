#include "sim/sim_surface.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace orvo::sim {
namespace {
// How long Send waits for the host to make room before it gives up.
constexpr int kSendTimeoutMs = 1000;
}  // namespace

SimSurface::SimSurface(std::string linkPath) : linkPath_(std::move(linkPath)) { PlugIn(); }

SimSurface::~SimSurface() {
  Unplug();
}

bool SimSurface::Plugged() const {
  std::lock_guard lock(mutex_);
  return masterFd_ >= 0;
}

std::string SimSurface::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::string SimSurface::SlavePath() const {
  std::lock_guard lock(mutex_);
  return slavePath_;
}

std::string SimSurface::DevicePath() const { return linkPath_.empty() ? SlavePath() : linkPath_; }

bool SimSurface::PlugIn() {
  auto fail = [this](const char* what, int master, int slave) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
    return false;
  };
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master < 0) return fail("posix_openpt", -1, -1);
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
    return fail("pty set-up", master, -1);
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return fail("open pty slave", master, -1);
  // Raw from the start: no echo, no line editing, no translation of the surface's bytes.
  termios tio{};
  tcgetattr(slave, &tio);
  cfmakeraw(&tio);
  cfsetispeed(&tio, B38400);
  cfsetospeed(&tio, B38400);
  tcsetattr(slave, TCSANOW, &tio);
  if (!linkPath_.empty()) {
    const std::string temp = linkPath_ + ".new";
    unlink(temp.c_str());
    // Renamed into place, so that a watcher sees the link appear whole.
    if (symlink(name, temp.c_str()) != 0 || rename(temp.c_str(), linkPath_.c_str()) != 0)
      return fail("symlink", master, slave);
  }
  const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) return fail("eventfd", master, slave);
  std::lock_guard lock(mutex_);
  masterFd_ = master;
  slaveFd_ = slave;
  wakeFd_ = wake;
  slavePath_ = name;
  error_.clear();
  reader_ = std::thread([this, master, wake] { ReadLoop(master, wake); });
  return true;
}

bool SimSurface::Unplug() {
  std::thread reader;
  int master, slave, wake;
  {
    std::lock_guard lock(mutex_);
    if (masterFd_ < 0) return false;
    master = std::exchange(masterFd_, -1);
    slave = std::exchange(slaveFd_, -1);
    wake = std::exchange(wakeFd_, -1);
    reader.swap(reader_);
  }
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake, &one, sizeof one);
  reader.join();
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  close(wake);
  close(master);  // the host's tty hangs up here
  close(slave);
  return true;
}

bool SimSurface::Replug() {
  if (Plugged()) return false;
  return PlugIn();
}

bool SimSurface::Send(const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);  // keeps the master open while writing
  if (masterFd_ < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(masterFd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd p{masterFd_, POLLOUT, 0};
    if (poll(&p, 1, kSendTimeoutMs) <= 0) return false;
  }
  return true;
}

void SimSurface::SetLineCallback(std::function<void(const std::string&)> callback) {
  std::lock_guard lock(callbackMutex_);
  onLine_ = std::move(callback);
}

void SimSurface::SetBytesCallback(std::function<void(const std::vector<uint8_t>&)> callback) {
  std::lock_guard lock(callbackMutex_);
  onBytes_ = std::move(callback);
}

std::vector<uint8_t> SimSurface::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool SimSurface::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return received_cv_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void SimSurface::ClearReceived() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

void SimSurface::ReadLoop(int masterFd, int wakeFd) {
  uint8_t buffer[512];
  for (;;) {
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    // The surface keeps the slave open, so a hang-up here means something broke: stop.
    if (fds[1].revents & (POLLERR | POLLNVAL)) return;
    const ssize_t n = read(masterFd, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return;
    }
    std::vector<std::string> lines;
    {
      std::lock_guard lock(mutex_);
      received_.insert(received_.end(), buffer, buffer + n);
      lines = decoder_.Feed(buffer, static_cast<std::size_t>(n));
    }
    received_cv_.notify_all();
    // Not under mutex_: a callback may Send.
    std::lock_guard lock(callbackMutex_);
    if (onBytes_) onBytes_(std::vector<uint8_t>(buffer, buffer + n));
    if (onLine_)
      for (const auto& line : lines) onLine_(line);
  }
}

}  // namespace orvo::sim
