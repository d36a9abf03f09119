#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace orvo {
namespace {
std::string DefaultLockPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
    return std::string(runtime) + "/orvo.lock";
  return "/tmp/orvo-" + std::to_string(getuid()) + ".lock";
}
}  // namespace

SingleInstance::SingleInstance(std::string lockPath)
    : path_(lockPath.empty() ? DefaultLockPath() : std::move(lockPath)) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    acquired_ = true;
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    char text[32] = {};
    if (::pread(fd, text, sizeof text - 1, 0) > 0) holderPid_ = std::strtol(text, nullptr, 10);
    ::close(fd);
    return;
  }
  fd_ = fd;
  acquired_ = true;
  const std::string pid = std::to_string(getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) (void)!::pwrite(fd_, pid.data(), pid.size(), 0);
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

}  // namespace orvo
