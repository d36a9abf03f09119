#pragma once
// An EditorNotifier that records every notification; IsRunning is what the test sets.
#include <atomic>
#include <mutex>
#include <span>
#include <vector>

#include "protocol/editor_notifier.h"

namespace orvo::test {

class RecordingEditor : public EditorNotifier {
 public:
  enum class Kind { kSend, kPost, kInput, kLong, kShow };
  struct Note {
    Kind kind;
    const ControlDescriptor* row;
    const Keyset* keyset;
    uint32_t message;  // or the header's flags for kLong
    std::vector<uint8_t> bytes;
  };

  std::atomic<bool> running{true};

  std::vector<Note> Notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
  }

  bool IsRunning() override { return running.load(); }
  void SendControlEvent(const ControlDescriptor* row, uint32_t message) override {
    Add({Kind::kSend, row, nullptr, message, {}});
  }
  void PostControlEvent(const ControlDescriptor* row, uint32_t message) override {
    Add({Kind::kPost, row, nullptr, message, {}});
  }
  void PostInputMessage(const Keyset* keyset, uint32_t message) override {
    Add({Kind::kInput, nullptr, keyset, message, {}});
  }
  void PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) override {
    Add({Kind::kLong, nullptr, keyset, flags, {bytes.begin(), bytes.end()}});
  }
  void ShowKeyset(const Keyset* keyset) override { Add({Kind::kShow, nullptr, keyset, 0, {}}); }

 private:
  void Add(Note note) {
    std::lock_guard lock(mutex_);
    notes_.push_back(std::move(note));
  }
  mutable std::mutex mutex_;
  std::vector<Note> notes_;
};

}  // namespace orvo::test
