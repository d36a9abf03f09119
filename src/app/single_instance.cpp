#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvo {

SingleInstance::SingleInstance(std::string directory) {
  if (directory.empty()) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    directory = runtime && *runtime == '/' ? std::string(runtime) : "/tmp/orvo-" + std::to_string(geteuid());
  }
  path_ = directory + "/orvo.lock";
  if (CheckDirectory(directory)) Lock();
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

bool SingleInstance::Unusable(const std::string& why) {
  state_ = State::kUnusable;
  problem_ = why;
  return false;
}

bool SingleInstance::CheckDirectory(const std::string& directory) {
  // Made when missing; one that is there already must be as we would have made it.
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
    return Unusable(directory + ": " + std::strerror(errno));
  struct stat st {};
  if (::lstat(directory.c_str(), &st) != 0) return Unusable(directory + ": " + std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return Unusable(directory + " is not a directory");
  if (st.st_uid != geteuid()) return Unusable(directory + " belongs to another user");
  if ((st.st_mode & 0777) != 0700) return Unusable(directory + " is open to other users (its mode is not 0700)");
  return true;
}

void SingleInstance::Lock() {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    Unusable(path_ + ": " + std::strerror(errno));
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    ::close(fd);
    Unusable(path_ + " is not a file of this user's");
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) {
      state_ = State::kHeldByAnother;
      char text[32] = {};
      if (::pread(fd, text, sizeof text - 1, 0) > 0) holderPid_ = std::max(0L, std::strtol(text, nullptr, 10));
    } else {
      Unusable(path_ + ": " + std::strerror(error));
    }
    ::close(fd);
    return;
  }
  fd_ = fd;
  state_ = State::kAcquired;
  const std::string pid = std::to_string(getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) (void)!::pwrite(fd_, pid.data(), pid.size(), 0);
}

}  // namespace orvo
