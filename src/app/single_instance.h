#pragma once
// One running driver per user: the surface can have only one host. A lock file, held for
// the life of the process, in a directory only the user can reach: $XDG_RUNTIME_DIR, else
// a per-user directory under /tmp, made with mode 0700. A directory that another user
// owns or can write, a lock file that is a link, belongs to another user or cannot be
// opened or locked: the lock is unusable, never taken as held.
#include <string>

namespace orvo {

class SingleInstance {
 public:
  enum class State { kAcquired, kHeldByAnother, kUnusable };

  // `directory` empty: $XDG_RUNTIME_DIR, else /tmp/orvo-<uid>; made when missing.
  explicit SingleInstance(std::string directory = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  State Result() const { return state_; }
  bool Acquired() const { return state_ == State::kAcquired; }
  // The process id written by the holder, 0 when unknown.
  long HolderPid() const { return holderPid_; }
  // Why the lock is unusable.
  const std::string& Problem() const { return problem_; }
  const std::string& Path() const { return path_; }

 private:
  bool Unusable(const std::string& why);  // false
  bool CheckDirectory(const std::string& directory);
  void Lock();

  std::string path_;
  int fd_ = -1;
  State state_ = State::kUnusable;
  long holderPid_ = 0;
  std::string problem_;
};

}  // namespace orvo
