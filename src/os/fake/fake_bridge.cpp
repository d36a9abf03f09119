#include "os/fake/fake_bridge.h"

#include <algorithm>

namespace orvo {

void FakeBridge::AddDevice(const std::string& description, DeviceSetup setup) {
  std::lock_guard lock(mutex_);
  devices_[description] = setup;
}

void FakeBridge::RemoveDevice(const std::string& description) {
  std::lock_guard lock(mutex_);
  devices_.erase(description);
}

void FakeBridge::HangUp(const std::string& description) {
  std::lock_guard lock(mutex_);
  for (const auto& [handle, name] : openHandles_)
    if (name == description) hungUp_.insert(handle);
}

void FakeBridge::Feed(const std::vector<uint8_t>& bytes) {
  Overlapped* wake = nullptr;
  {
    std::lock_guard lock(mutex_);
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    if (pendingWait_ && !received_.empty()) {
      wake = pendingWait_;
      pendingWait_ = nullptr;
      wake->Transferred.store(0);
      wake->Succeeded.store(true);
    }
  }
  if (wake) wake->Event.Set();
}

std::vector<uint8_t> FakeBridge::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void FakeBridge::ClearWritten() {
  std::lock_guard lock(mutex_);
  written_.clear();
}

void FakeBridge::FailWrites(bool fail) {
  std::lock_guard lock(mutex_);
  failWrites_ = fail;
}

void FakeBridge::FailEventMask(bool fail, uint32_t error) {
  std::lock_guard lock(mutex_);
  failEventMask_ = fail;
  eventMaskError_ = error;
}

void FakeBridge::PendWrites(bool pend) {
  std::lock_guard lock(mutex_);
  pendWrites_ = pend;
}

void FakeBridge::LimitWrites(std::vector<uint32_t> takes) {
  std::lock_guard lock(mutex_);
  writeLimits_.assign(takes.begin(), takes.end());
}

int FakeBridge::WriteCalls() const {
  std::lock_guard lock(mutex_);
  return writeCalls_;
}

int FakeBridge::PurgeCount() const {
  std::lock_guard lock(mutex_);
  return purges_;
}

std::size_t FakeBridge::Pending() const {
  std::lock_guard lock(mutex_);
  return received_.size();
}

int FakeBridge::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(openHandles_.size());
}

std::vector<std::string> FakeBridge::OpenAttempts() const {
  std::lock_guard lock(mutex_);
  return openAttempts_;
}

DeviceControlBlock FakeBridge::LastState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

CommTimeouts FakeBridge::LastTimeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

BridgeHandle FakeBridge::OpenByDescription(const char* description) {
  std::lock_guard lock(mutex_);
  openAttempts_.emplace_back(description);
  auto it = devices_.find(description);
  if (it == devices_.end() || !it->second.present) {
    lastOpenError_ = 0;
    return kInvalidBridgeHandle;
  }
  if (it->second.openError != 0) {
    lastOpenError_ = it->second.openError;
    return kInvalidBridgeHandle;
  }
  const BridgeHandle h = nextHandle_++;
  openHandles_[h] = description;
  lastOpenError_ = 0;
  return h;
}

uint32_t FakeBridge::LastOpenError() {
  std::lock_guard lock(mutex_);
  return lastOpenError_;
}

bool FakeBridge::SetTimeouts(BridgeHandle h, const CommTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
  return IsOpenLocked(h);
}

bool FakeBridge::ResetDevice(BridgeHandle h) {
  std::lock_guard lock(mutex_);
  return IsOpenLocked(h);
}

bool FakeBridge::GetState(BridgeHandle h, DeviceControlBlock& dcb) {
  std::lock_guard lock(mutex_);
  dcb = state_;
  return IsOpenLocked(h);
}

bool FakeBridge::SetState(BridgeHandle h, const DeviceControlBlock& dcb) {
  std::lock_guard lock(mutex_);
  state_ = dcb;
  return IsOpenLocked(h);
}

bool FakeBridge::SetEventMask(BridgeHandle h, uint32_t) {
  std::lock_guard lock(mutex_);
  if (failEventMask_ || !IsOpenLocked(h)) {
    lastError_ = eventMaskError_;
    return false;
  }
  return true;
}

uint32_t FakeBridge::LastError(BridgeHandle) {
  std::lock_guard lock(mutex_);
  return lastError_;
}

bool FakeBridge::WaitEvent(BridgeHandle h, uint32_t& events, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  if (!IsOpenLocked(h)) return false;
  if (!received_.empty()) {
    events = kEvRxChar;
    return true;
  }
  ov.Event.Reset();
  ov.Succeeded.store(false);
  pendingWait_ = &ov;
  return false;
}

bool FakeBridge::QueueStatus(BridgeHandle h, uint32_t& pending) {
  std::lock_guard lock(mutex_);
  pending = static_cast<uint32_t>(received_.size());
  return IsOpenLocked(h);
}

bool FakeBridge::Read(BridgeHandle h, uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped&) {
  std::lock_guard lock(mutex_);
  if (!IsOpenLocked(h)) return false;
  read = std::min<uint32_t>(count, static_cast<uint32_t>(received_.size()));
  std::copy_n(received_.begin(), read, buffer);
  received_.erase(received_.begin(), received_.begin() + read);
  return true;
}

bool FakeBridge::Write(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& written,
                       Overlapped& ov) {
  std::lock_guard lock(mutex_);
  ++writeCalls_;
  if (pendWrites_ && IsOpenLocked(h)) {
    ov.Event.Reset();
    ov.Succeeded.store(false);
    ov.Transferred.store(0);
    pendingWrite_ = &ov;
    return false;
  }
  if (!IsOpenLocked(h) || failWrites_) {
    written = 0;
    return true;  // completed, short
  }
  written = count;
  if (!writeLimits_.empty()) {
    written = std::min(count, writeLimits_.front());
    writeLimits_.pop_front();
  }
  written_.insert(written_.end(), bytes, bytes + written);
  return true;
}

bool FakeBridge::OverlappedResult(BridgeHandle h, Overlapped& ov, uint32_t& transferred) {
  std::lock_guard lock(mutex_);
  transferred = ov.Transferred.load();
  return IsOpenLocked(h) && ov.Succeeded.load();
}

bool FakeBridge::Purge(BridgeHandle h, uint32_t flags) {
  std::lock_guard lock(mutex_);
  ++purges_;
  if (flags & 0x8) received_.clear();  // clear the receive side
  return IsOpenLocked(h);
}

bool FakeBridge::Close(BridgeHandle h) {
  Overlapped* wake = nullptr;
  Overlapped* wakeWrite = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (openHandles_.erase(h) == 0) return false;
    hungUp_.erase(h);
    if (openHandles_.empty()) {
      std::swap(wake, pendingWait_);
      std::swap(wakeWrite, pendingWrite_);
    }
  }
  // The pending operations end, failed.
  if (wake) wake->Event.Set();
  if (wakeWrite) wakeWrite->Event.Set();
  return true;
}

bool FakeBridge::DeviceGone(BridgeHandle h) {
  std::lock_guard lock(mutex_);
  const auto it = openHandles_.find(h);
  if (it == openHandles_.end() || hungUp_.count(h)) return true;
  const auto device = devices_.find(it->second);
  return device == devices_.end() || !device->second.present;
}

}  // namespace orvo
