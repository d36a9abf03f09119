#pragma once
// A DeviceWriter that records every write and queued message, and can be told to fail
// writes.
#include <atomic>
#include <mutex>
#include <vector>

#include "protocol/device_writer.h"

namespace orvo::test {

class RecordingDevice : public DeviceWriter {
 public:
  bool WriteDevice(const uint8_t* bytes, uint32_t count) override {
    std::lock_guard lock(mutex_);
    ++writes_;
    if (failWrites_) return false;
    written_.insert(written_.end(), bytes, bytes + count);
    events_.push_back(Event{false, std::vector<uint8_t>(bytes, bytes + count)});
    return true;
  }
  // Kept in order with the writes, as if the line were never busy.
  void QueueFeedback(const uint8_t* bytes, uint32_t count) override {
    std::lock_guard lock(mutex_);
    ++queued_;
    written_.insert(written_.end(), bytes, bytes + count);
    events_.push_back(Event{true, std::vector<uint8_t>(bytes, bytes + count)});
  }

  struct Event {
    bool queued;  // by QueueFeedback, not written
    std::vector<uint8_t> bytes;
  };
  void FailWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
  }
  std::vector<uint8_t> Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  std::vector<Event> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }
  int Queued() const {
    std::lock_guard lock(mutex_);
    return queued_;
  }

 private:
  mutable std::mutex mutex_;
  bool failWrites_ = false;
  std::vector<uint8_t> written_;
  std::vector<Event> events_;
  int writes_ = 0;
  int queued_ = 0;
};

}  // namespace orvo::test
