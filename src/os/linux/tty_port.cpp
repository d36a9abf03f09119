#include "os/linux/tty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cerrno>

namespace orvo {
namespace {

// Purge flags of the bridge.
constexpr uint32_t kPurgeTxAbort = 0x1;
constexpr uint32_t kPurgeRxAbort = 0x2;
constexpr uint32_t kPurgeTxClear = 0x4;
constexpr uint32_t kPurgeRxClear = 0x8;

struct BaudEntry {
  uint32_t rate;
  speed_t speed;
};
constexpr BaudEntry kBaudRates[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
                                    {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
                                    {230400, B230400}};

std::optional<speed_t> SpeedOf(uint32_t rate) {
  for (const auto& entry : kBaudRates)
    if (entry.rate == rate) return entry.speed;
  return std::nullopt;
}

uint32_t RateOf(speed_t speed) {
  for (const auto& entry : kBaudRates)
    if (entry.speed == speed) return entry.rate;
  return 0;
}

std::optional<std::chrono::steady_clock::time_point> DeadlineFor(uint32_t multiplier, uint32_t constant,
                                                                  uint32_t count) {
  const uint64_t total = uint64_t{multiplier} * count + constant;
  if (total == 0) return std::nullopt;  // no time-out: wait until done
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(total);
}

}  // namespace

TtyPort::TtyPort(int fd, std::function<void()> onHangUp) : fd_(fd), onHangUp_(std::move(onHangUp)) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  watcher_ = std::thread([this] { WatchLoop(); });
}

TtyPort::~TtyPort() { Close(); }

bool TtyPort::Close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    closed_ = true;
    Complete(wait_, false, 0);
    Complete(read_.ov, false, read_.got);
    Complete(write_.ov, false, write_.done);
  }
  Wake();
  if (watcher_.joinable()) watcher_.join();
  close(fd_);  // also drops the exclusive lock
  if (wakeFd_ >= 0) close(wakeFd_);
  return true;
}

void TtyPort::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

bool TtyPort::Fail(Overlapped& ov, int error) {
  lastError_ = static_cast<uint32_t>(error);
  ov.Transferred.store(0);
  ov.Succeeded.store(false);
  ov.Event.Set();
  return false;
}

void TtyPort::Pend(Overlapped& ov) {
  ov.Event.Reset();
  ov.Succeeded.store(false);
  ov.Transferred.store(0);
}

void TtyPort::Complete(Overlapped*& ov, bool succeeded, uint32_t transferred) {
  if (!ov) return;
  ov->Transferred.store(transferred);
  ov->Succeeded.store(succeeded);
  ov->Event.Set();
  ov = nullptr;
}

bool TtyPort::IsGone(int error) const { return error == EIO || error == ENXIO || error == ENODEV; }

void TtyPort::MarkHungUpLocked() {
  if (hungUp_) return;
  hungUp_ = true;
  lastError_ = EIO;
  // Reads and writes end; a wait for characters stays pending until the port closes.
  Complete(read_.ov, false, read_.got);
  Complete(write_.ov, false, write_.done);
}

bool TtyPort::HungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

bool TtyPort::CheckHungUp() {
  std::lock_guard lock(mutex_);
  if (closed_ || hungUp_) return true;
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
    MarkHungUpLocked();
    Wake();  // the watcher reports it as it would have
  }
  return hungUp_;
}

uint32_t TtyPort::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

void TtyPort::SetTimeouts(const CommTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
}

bool TtyPort::Flush() {
  std::lock_guard lock(mutex_);
  if (closed_ || tcflush(fd_, TCIOFLUSH) != 0) {
    lastError_ = closed_ ? EBADF : errno;
    return false;
  }
  return true;
}

bool TtyPort::GetState(DeviceControlBlock& dcb) {
  std::lock_guard lock(mutex_);
  termios tio{};
  if (closed_ || tcgetattr(fd_, &tio) != 0) {
    lastError_ = closed_ ? EBADF : errno;
    return false;
  }
  dcb.BaudRate = RateOf(cfgetospeed(&tio));
  switch (tio.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  dcb.Parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 1 : 2) : 0;
  dcb.StopBits = (tio.c_cflag & CSTOPB) ? 2 : 0;
  dcb.OutxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
  dcb.OutX = (tio.c_iflag & IXON) != 0;
  dcb.InX = (tio.c_iflag & IXOFF) != 0;
  return true;
}

bool TtyPort::SetState(const DeviceControlBlock& dcb) {
  std::lock_guard lock(mutex_);
  termios tio{};
  if (closed_ || tcgetattr(fd_, &tio) != 0) {
    lastError_ = closed_ ? EBADF : errno;
    return false;
  }
  const auto speed = SpeedOf(dcb.BaudRate);
  if (!speed) {
    lastError_ = EINVAL;
    return false;
  }
  cfmakeraw(&tio);
  cfsetispeed(&tio, *speed);
  cfsetospeed(&tio, *speed);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= dcb.ByteSize == 5 ? CS5 : dcb.ByteSize == 6 ? CS6 : dcb.ByteSize == 7 ? CS7 : CS8;
  if (dcb.Parity == 1) tio.c_cflag |= PARENB | PARODD;
  if (dcb.Parity == 2) tio.c_cflag |= PARENB;
  if (dcb.StopBits == 2) tio.c_cflag |= CSTOPB;
  if (dcb.OutxCtsFlow) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (dcb.OutX) tio.c_iflag |= IXON;
  if (dcb.InX) tio.c_iflag |= IXOFF;
  // Non-blocking reads: "no data" is EAGAIN, so that a read of 0 bytes means a hang-up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
    lastError_ = errno;
    return false;
  }
  // Modem lines off as asked; a tty without them (a pty) just says no.
  int lines = (dcb.DtrControl == 0 ? TIOCM_DTR : 0) | (dcb.RtsControl == 0 ? TIOCM_RTS : 0);
  if (lines != 0) ioctl(fd_, TIOCMBIC, &lines);
  return true;
}

bool TtyPort::SetEventMask(uint32_t mask) {
  std::lock_guard lock(mutex_);
  termios tio{};
  if (closed_ || hungUp_ || tcgetattr(fd_, &tio) != 0) {
    lastError_ = closed_ ? EBADF : hungUp_ ? EIO : errno;
    return false;
  }
  eventMask_ = mask;
  return true;
}

bool TtyPort::WaitEvent(uint32_t& events, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  if (closed_) return Fail(ov, EBADF);
  if (!hungUp_) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) > 0) {
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        MarkHungUpLocked();
      } else if (p.revents & POLLIN) {
        int available = 0;
        if (ioctl(fd_, FIONREAD, &available) == 0 && available > 0) {
          events = kEvRxChar & eventMask_;
          return true;
        }
      }
    }
  }
  Pend(ov);
  wait_ = &ov;
  Wake();  // the watcher looks at the tty again (or reports the hang-up)
  return false;
}

bool TtyPort::QueueStatus(uint32_t& pending) {
  std::lock_guard lock(mutex_);
  pending = 0;
  if (closed_ || hungUp_) {
    lastError_ = closed_ ? EBADF : EIO;
    return false;
  }
  int available = 0;
  if (ioctl(fd_, FIONREAD, &available) != 0) {
    lastError_ = errno;
    if (IsGone(errno)) {
      MarkHungUpLocked();
      Wake();
    }
    return false;
  }
  pending = static_cast<uint32_t>(std::max(available, 0));
  return true;
}

bool TtyPort::Read(uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  read = 0;
  if (closed_ || hungUp_) return Fail(ov, closed_ ? EBADF : EIO);
  if (count == 0) return true;
  ssize_t n = ::read(fd_, buffer, count);
  if (n == 0 || (n < 0 && IsGone(errno))) {
    MarkHungUpLocked();
    Wake();
    return Fail(ov, EIO);
  }
  if (n < 0) {
    if (errno != EAGAIN && errno != EINTR) return Fail(ov, errno);
    n = 0;
  }
  if (static_cast<uint32_t>(n) == count) {
    read = count;
    return true;
  }
  Pend(ov);
  read_ = {&ov, buffer, count, static_cast<uint32_t>(n),
           DeadlineFor(timeouts_.ReadTotalTimeoutMultiplier, timeouts_.ReadTotalTimeoutConstant, count)};
  Wake();
  return false;
}

bool TtyPort::Write(const uint8_t* bytes, uint32_t count, uint32_t& written, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  written = 0;
  if (closed_ || hungUp_) return Fail(ov, closed_ ? EBADF : EIO);
  if (count == 0) return true;
  ssize_t n = ::write(fd_, bytes, count);
  if (n < 0) {
    if (IsGone(errno)) {
      MarkHungUpLocked();
      Wake();
      return Fail(ov, EIO);
    }
    if (errno != EAGAIN && errno != EINTR) return Fail(ov, errno);
    n = 0;
  }
  if (static_cast<uint32_t>(n) == count) {
    written = count;
    return true;
  }
  Pend(ov);
  write_.ov = &ov;
  write_.bytes.assign(bytes, bytes + count);
  write_.done = static_cast<uint32_t>(n);
  write_.deadline = DeadlineFor(timeouts_.WriteTotalTimeoutMultiplier, timeouts_.WriteTotalTimeoutConstant, count);
  Wake();
  return false;
}

bool TtyPort::OverlappedResult(Overlapped& ov, uint32_t& transferred) {
  std::lock_guard lock(mutex_);
  transferred = ov.Transferred.load();
  if (wait_ == &ov || read_.ov == &ov || write_.ov == &ov) {
    lastError_ = EINPROGRESS;
    return false;
  }
  return ov.Succeeded.load();
}

bool TtyPort::Purge(uint32_t flags) {
  std::lock_guard lock(mutex_);
  if (closed_) {
    lastError_ = EBADF;
    return false;
  }
  if (flags & kPurgeTxAbort) Complete(write_.ov, false, write_.done);
  if (flags & kPurgeRxAbort) Complete(read_.ov, false, read_.got);
  bool ok = true;
  // Never waits for the line: the purge runs under the port's lock, which the reader
  // needs for every read.
  if (!hungUp_) {
    if ((flags & kPurgeTxClear) && tcflush(fd_, TCOFLUSH) != 0) {
      lastError_ = errno;
      ok = false;
    }
    if ((flags & kPurgeRxClear) && tcflush(fd_, TCIFLUSH) != 0) {
      lastError_ = errno;
      ok = false;
    }
  }
  Wake();
  return ok;
}

void TtyPort::ServiceInputLocked() {
  if (wait_) {
    int available = 0;
    if (ioctl(fd_, FIONREAD, &available) == 0 && available > 0) Complete(wait_, true, 0);
  }
  if (read_.ov) {
    const ssize_t n = ::read(fd_, read_.buffer + read_.got, read_.count - read_.got);
    if (n == 0 || (n < 0 && IsGone(errno))) {
      MarkHungUpLocked();
      return;
    }
    if (n > 0) read_.got += static_cast<uint32_t>(n);
    if (read_.got == read_.count) Complete(read_.ov, true, read_.got);
  }
}

void TtyPort::ServiceOutputLocked() {
  if (!write_.ov) return;
  const ssize_t n = ::write(fd_, write_.bytes.data() + write_.done, write_.bytes.size() - write_.done);
  if (n < 0 && IsGone(errno)) {
    MarkHungUpLocked();
    return;
  }
  if (n > 0) write_.done += static_cast<uint32_t>(n);
  if (write_.done == write_.bytes.size()) Complete(write_.ov, true, write_.done);
}

void TtyPort::ExpireDeadlinesLocked() {
  const auto now = Clock::now();
  // A time-out completes the operation with what was transferred: a short count.
  if (read_.ov && read_.deadline && now >= *read_.deadline) Complete(read_.ov, true, read_.got);
  if (write_.ov && write_.deadline && now >= *write_.deadline) Complete(write_.ov, true, write_.done);
}

int TtyPort::PollTimeoutLocked() const {
  std::optional<Clock::time_point> next;
  if (read_.ov && read_.deadline) next = read_.deadline;
  if (write_.ov && write_.deadline && (!next || *write_.deadline < *next)) next = write_.deadline;
  if (!next) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

void TtyPort::WatchLoop() {
  std::unique_lock lock(mutex_);
  while (!closed_) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
    nfds_t count = 1;
    if (!hungUp_) {
      // Hang-ups are reported whatever is asked for, so the tty is watched even when idle.
      if (wait_ || read_.ov) fds[1].events |= POLLIN;
      if (write_.ov) fds[1].events |= POLLOUT;
      count = 2;
    }
    const int timeout = PollTimeoutLocked();
    lock.unlock();
    const int ready = poll(fds, count, timeout);
    const int pollError = errno;
    if (fds[0].revents & POLLIN) {
      uint64_t ignored = 0;
      [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &ignored, sizeof ignored);
    }
    lock.lock();
    if (closed_) break;
    if (ready < 0 && pollError != EINTR) MarkHungUpLocked();  // never spin on a broken poll
    if (count == 2 && !hungUp_) {
      if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        MarkHungUpLocked();
      } else {
        if (fds[1].revents & POLLIN) ServiceInputLocked();
        if (fds[1].revents & POLLOUT) ServiceOutputLocked();
      }
    }
    ExpireDeadlinesLocked();
    if (hungUp_ && !hangUpReported_) {
      hangUpReported_ = true;
      if (onHangUp_) {
        lock.unlock();
        onHangUp_();
        lock.lock();
      }
    }
  }
}

}  // namespace orvo
