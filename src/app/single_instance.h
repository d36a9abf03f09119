#pragma once
// One running driver per user: the surface can have only one host. A lock file in the
// user's runtime directory, held for the life of the process.
#include <string>

namespace orvo {

class SingleInstance {
 public:
  // `lockPath` empty: $XDG_RUNTIME_DIR/orvo.lock, else /tmp/orvo-<uid>.lock.
  explicit SingleInstance(std::string lockPath = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False when another process holds the lock. True as well when no lock file can be
  // made at all: better two drivers than none.
  bool Acquired() const { return acquired_; }
  // The process id written by the holder, 0 when unknown.
  long HolderPid() const { return holderPid_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool acquired_ = false;
  long holderPid_ = 0;
};

}  // namespace orvo
