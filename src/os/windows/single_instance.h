#pragma once
// One running driver per user on Windows: the surface can have only one host. A named
// mutex whose name holds the user's security id, in the global namespace so that the
// user's other sessions see it too (the session's own where that is refused), held for
// the life of the process. Windows frees it when the process ends, however it ends.
#include <string>

namespace orvo {

class WindowsSingleInstance {
 public:
  enum class State { kAcquired, kHeldByAnother, kUnusable };

  // `name` empty: "Orvo-" followed by the user's security id.
  explicit WindowsSingleInstance(std::string name = {});
  ~WindowsSingleInstance();
  WindowsSingleInstance(const WindowsSingleInstance&) = delete;
  WindowsSingleInstance& operator=(const WindowsSingleInstance&) = delete;

  State Result() const { return state_; }
  bool Acquired() const { return state_ == State::kAcquired; }
  // Why the lock is unusable.
  const std::string& Problem() const { return problem_; }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  void* mutex_ = nullptr;
  State state_ = State::kUnusable;
  std::string problem_;
};

// The user's security id as text ("S-1-5-21-..."); empty when it cannot be read.
std::string CurrentUserSid();

}  // namespace orvo
