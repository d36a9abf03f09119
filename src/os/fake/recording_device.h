#pragma once
// A DeviceWriter that records every write and purge, and can be told to fail writes.
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
  void PurgeDevice() override {
    std::lock_guard lock(mutex_);
    ++purges_;
    events_.push_back(Event{true, {}});
  }

  struct Event {
    bool purge;
    std::vector<uint8_t> bytes;  // for a write
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
  int Purges() const {
    std::lock_guard lock(mutex_);
    return purges_;
  }

 private:
  mutable std::mutex mutex_;
  bool failWrites_ = false;
  std::vector<uint8_t> written_;
  std::vector<Event> events_;
  int writes_ = 0;
  int purges_ = 0;
};

}  // namespace orvo::test
