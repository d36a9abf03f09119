#pragma once
// The focus record: which process has the focus, who owns its foreground window and which
// Keyset is in force. The focus finder writes it under Lock; dispatch on the read thread
// only tries Lock, copies the fields and lets go at once, so it never waits for the focus
// finder. The record exists only while the surface is connected.
//
// The holder publishes the record through a shared reference: destroying it (main thread,
// on disconnection or at exit) only drops the holder's share, so a dispatch still using
// the record keeps it alive, and nobody waits for the read thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/foreground_query.h"

namespace orvo {

class Keyset;

// The three fields as one consistent copy.
struct FocusSnapshot {
  uint32_t ProcessId = 0;
  uint32_t ThreadId = 0;  // for our own process: kOwnerEditor, kOwnerMain or kOwnerOther
  Keyset* ActiveKeyset = nullptr;
};

class FocusState {
 public:
  FocusState(uint32_t processId, uint32_t threadId);
  FocusState(const FocusState&) = delete;
  FocusState& operator=(const FocusState&) = delete;

  // Dispatch (read thread): false at once when the focus finder holds Lock.
  bool TryRead(FocusSnapshot& copy);
  // Focus finder: waits for Lock and stores the three fields.
  void Write(uint32_t processId, uint32_t threadId, Keyset* activeKeyset);
  // The fields without Lock, each on its own: for the focus finder, the only writer, to
  // compare with what it found.
  FocusSnapshot Peek() const;

  std::mutex Lock;

 private:
  // Atomic so that Peek is safe from any thread; consistent only under Lock.
  std::atomic<uint32_t> ProcessId;
  std::atomic<uint32_t> ThreadId;
  std::atomic<Keyset*> ActiveKeyset{nullptr};
};

// The one reference to the focus record, absent while the surface is disconnected.
class FocusStateHolder {
 public:
  // `ownProcessId`: this program's process id, given by the application.
  explicit FocusStateHolder(uint32_t ownProcessId) : ownProcessId_(ownProcessId) {}

  // Main thread, on connection: a record naming our own process, owned by the thread
  // that ran the connection, with no Keyset. Replaces any record still there.
  void CreateFocusState();
  // Main thread, on disconnection and at exit. Never waits for a dispatch in progress.
  void DestroyFocusState();
  // The record, or nullptr. Any thread; holding the result keeps the record alive.
  std::shared_ptr<FocusState> Current() const;

  uint32_t OwnProcessId() const { return ownProcessId_; }

 private:
  const uint32_t ownProcessId_;
  mutable std::mutex referenceLock_;  // held only to copy or swap the reference
  std::shared_ptr<FocusState> current_;
};

}  // namespace orvo
