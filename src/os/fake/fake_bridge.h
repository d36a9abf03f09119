#pragma once
// An in-memory bridge for tests: devices appear by description, received bytes are fed
// in any split, writes are recorded. Waits for received characters pend until bytes are
// fed; reads and writes complete at once. Safe to feed from another thread.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/bridge.h"

namespace orvo {

struct FakeDeviceSetup {
  bool present = true;
  uint32_t openError = 0;  // non-zero: present but cannot be opened
};

class FakeBridge : public Bridge {
 public:
  using DeviceSetup = FakeDeviceSetup;

  // Test side.
  void AddDevice(const std::string& description, DeviceSetup setup = {});
  void RemoveDevice(const std::string& description);
  // The open handles of `description` hang up; the device itself stays present, as when a
  // new one is plugged in before the old one's hang-up is noticed.
  void HangUp(const std::string& description);
  void Feed(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> Written() const;
  void ClearWritten();
  void FailWrites(bool fail);
  // Writes pend until the handle is closed (then they fail), as on a stuck line.
  void PendWrites(bool pend);
  // Each write takes at most the next of `takes` bytes and completes at once, short, as
  // the write time-out ends it on a slow line; once they are used up writes take all.
  void LimitWrites(std::vector<uint32_t> takes);
  // Write calls made, completed or not.
  int WriteCalls() const;
  void FailEventMask(bool fail, uint32_t error = 0);
  int PurgeCount() const;
  // Bytes fed and not yet read.
  std::size_t Pending() const;
  int OpenHandles() const;
  std::vector<std::string> OpenAttempts() const;
  // The last line settings and time-outs set on a handle.
  DeviceControlBlock LastState() const;
  CommTimeouts LastTimeouts() const;

  // Bridge.
  BridgeHandle OpenByDescription(const char* description) override;
  uint32_t LastOpenError() override;
  bool SetTimeouts(BridgeHandle h, const CommTimeouts& timeouts) override;
  bool ResetDevice(BridgeHandle h) override;
  bool GetState(BridgeHandle h, DeviceControlBlock& dcb) override;
  bool SetState(BridgeHandle h, const DeviceControlBlock& dcb) override;
  bool SetEventMask(BridgeHandle h, uint32_t mask) override;
  uint32_t LastError(BridgeHandle h) override;
  bool WaitEvent(BridgeHandle h, uint32_t& events, Overlapped& ov) override;
  bool QueueStatus(BridgeHandle h, uint32_t& pending) override;
  bool Read(BridgeHandle h, uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov) override;
  bool Write(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& written,
             Overlapped& ov) override;
  bool OverlappedResult(BridgeHandle h, Overlapped& ov, uint32_t& transferred) override;
  bool Purge(BridgeHandle h, uint32_t flags) override;
  bool Close(BridgeHandle h) override;
  bool DeviceGone(BridgeHandle h) override;

 private:
  bool IsOpenLocked(BridgeHandle h) const { return openHandles_.count(h) != 0; }

  mutable std::mutex mutex_;
  std::map<std::string, DeviceSetup> devices_;
  std::map<BridgeHandle, std::string> openHandles_;
  std::set<BridgeHandle> hungUp_;
  std::vector<std::string> openAttempts_;
  BridgeHandle nextHandle_ = 1;
  uint32_t lastOpenError_ = 0;
  std::deque<uint8_t> received_;
  Overlapped* pendingWait_ = nullptr;
  std::vector<uint8_t> written_;
  bool failWrites_ = false;
  bool pendWrites_ = false;
  int writeCalls_ = 0;
  std::deque<uint32_t> writeLimits_;
  Overlapped* pendingWrite_ = nullptr;
  bool failEventMask_ = false;
  uint32_t eventMaskError_ = 0;
  uint32_t lastError_ = 0;
  int purges_ = 0;
  DeviceControlBlock state_{};
  CommTimeouts timeouts_{};
};

}  // namespace orvo
