#include "mapping/focus_state.h"

#include <utility>

namespace orvo {

FocusState::FocusState(uint32_t processId, uint32_t threadId) : ProcessId(processId), ThreadId(threadId) {}

bool FocusState::TryRead(FocusSnapshot& copy) {
  std::unique_lock lock(Lock, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  copy.ProcessId = ProcessId.load(std::memory_order_relaxed);
  copy.ThreadId = ThreadId.load(std::memory_order_relaxed);
  copy.ActiveKeyset = ActiveKeyset.load(std::memory_order_relaxed);
  return true;
}

void FocusState::Write(uint32_t processId, uint32_t threadId, Keyset* activeKeyset) {
  std::lock_guard lock(Lock);
  ThreadId.store(threadId, std::memory_order_relaxed);
  ProcessId.store(processId, std::memory_order_relaxed);
  ActiveKeyset.store(activeKeyset, std::memory_order_relaxed);
}

FocusSnapshot FocusState::Peek() const {
  return {ProcessId.load(std::memory_order_relaxed), ThreadId.load(std::memory_order_relaxed),
          ActiveKeyset.load(std::memory_order_relaxed)};
}

void FocusStateHolder::CreateFocusState() {
  auto record = std::make_shared<FocusState>(ownProcessId_, kOwnerMain);
  std::lock_guard lock(referenceLock_);
  current_.swap(record);
}  // a replaced record is let go here, after the lock

void FocusStateHolder::DestroyFocusState() {
  std::shared_ptr<FocusState> last;
  {
    std::lock_guard lock(referenceLock_);
    last = std::move(current_);
  }
  // `last` goes out of scope here, outside the lock; a dispatch still holding a share
  // frees the record when it is done.
}

std::shared_ptr<FocusState> FocusStateHolder::Current() const {
  std::lock_guard lock(referenceLock_);
  return current_;
}

}  // namespace orvo
