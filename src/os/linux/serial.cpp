#include "os/linux/serial.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "os/linux/usb_discovery.h"

namespace orvo {
namespace {

// The last open error of this thread, as the bridge library keeps it.
thread_local uint32_t tLastOpenError = 0;

// Errors that mean the device is not there (any more) rather than busy or forbidden.
bool MeansAbsent(int error) {
  return error == ENOENT || error == ENODEV || error == ENXIO || error == EIO || error == ENOTDIR;
}

}  // namespace

TtyBridge::TtyBridge(TtyBridgeOptions options) : options_(std::move(options)) {}

TtyBridge::~TtyBridge() {
  std::map<BridgeHandle, OpenPort> ports;
  std::unique_ptr<PathWatcher> watcher;
  {
    std::lock_guard lock(mutex_);
    ports.swap(ports_);
    watcher.swap(pathWatcher_);
  }
  watcher.reset();
  for (auto& [handle, open] : ports) open.port->Close();
}

void TtyBridge::SetDeviceChangeCallback(std::function<void()> callback) {
  std::lock_guard lock(callbackMutex_);
  onDeviceChange_ = std::move(callback);
}

void TtyBridge::NotifyDeviceChange() {
  std::function<void()> callback;
  {
    std::lock_guard lock(callbackMutex_);
    callback = onDeviceChange_;
  }
  if (callback) callback();
}

void TtyBridge::SetDevicePath(const std::string& path) {
  auto watcher = path.empty() ? nullptr : std::make_unique<PathWatcher>(path, [this] { NotifyDeviceChange(); });
  {
    std::lock_guard lock(mutex_);
    devicePath_ = path;
    watcher.swap(pathWatcher_);
  }
  watcher.reset();  // the old watcher, joined outside the lock
}

bool TtyBridge::WatchingDevicePath() const {
  std::lock_guard lock(mutex_);
  return pathWatcher_ && pathWatcher_->Active();
}

int TtyBridge::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(ports_.size());
}

bool TtyBridge::ResetPort(TtyPort& port) { return port.Flush(); }

uint32_t TtyBridge::UnknownHandleError() const { return static_cast<uint32_t>(EBADF); }

std::shared_ptr<TtyPort> TtyBridge::Find(BridgeHandle h) const {
  std::lock_guard lock(mutex_);
  const auto it = ports_.find(h);
  return it == ports_.end() ? nullptr : it->second.port;
}

int TtyBridge::OpenTty(const std::string& path) const {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -errno;
  auto fail = [fd](int error) {
    close(fd);
    return -error;
  };
  if (!isatty(fd)) return fail(ENOTTY);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  // A tty whose far side has gone opens but is dead: that device is absent.
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return fail(EIO);
  ioctl(fd, TIOCEXCL);
  LowerLatency(fd, path);
  return fd;
}

// FTDI bridges hold received bytes up to 16 ms by default; 1 ms keeps the surface snappy.
// Either way works where the driver offers it; elsewhere (a pty) nothing happens.
void TtyBridge::LowerLatency(int fd, const std::string& path) const {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &serial);
  }
  std::error_code ec;
  const auto name = std::filesystem::canonical(path, ec).filename();
  if (ec) return;
  const auto timer = std::filesystem::path(options_.sysfsRoot) / "class" / "tty" / name / "device" / "latency_timer";
  if (!std::filesystem::exists(timer, ec)) return;
  std::ofstream out(timer);
  out << "1\n";
}

BridgeHandle TtyBridge::OpenByDescription(const char* description) {
  std::vector<std::string> paths;
  {
    std::lock_guard lock(mutex_);
    if (!devicePath_.empty()) paths.push_back(devicePath_);
  }
  if (paths.empty()) {
    for (const auto& candidate : FindTtysByUsbProduct(options_.sysfsRoot, options_.devRoot, description))
      paths.push_back(candidate.devicePath);
  }
  uint32_t error = 0;
  for (const auto& path : paths) {
    const int fd = OpenTty(path);
    if (fd < 0) {
      if (!MeansAbsent(-fd)) error = static_cast<uint32_t>(-fd);
      continue;
    }
    struct stat st {};
    fstat(fd, &st);
    OpenPort open{std::make_shared<TtyPort>(fd, [this] { NotifyDeviceChange(); }), path, st.st_rdev};
    std::lock_guard lock(mutex_);
    const BridgeHandle h = nextHandle_++;
    ports_.emplace(h, std::move(open));
    tLastOpenError = 0;
    return h;
  }
  tLastOpenError = error;
  return kInvalidBridgeHandle;
}

uint32_t TtyBridge::LastOpenError() { return tLastOpenError; }

bool TtyBridge::Close(BridgeHandle h) {
  std::shared_ptr<TtyPort> port;
  {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(h);
    if (it == ports_.end()) return false;
    port = std::move(it->second.port);
    ports_.erase(it);
  }
  return port->Close();
}

bool TtyBridge::DeviceGone(BridgeHandle h) {
  OpenPort open;
  {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(h);
    if (it == ports_.end()) return true;
    open = it->second;
  }
  if (open.port->CheckHungUp()) return true;
  // A quick swap puts a new tty at the path before the old one's hang-up shows.
  struct stat st {};
  return stat(open.path.c_str(), &st) != 0 || st.st_rdev != open.device;
}

}  // namespace orvo
