#pragma once
// What every system's bridge does alike: a call on a handle finds its open port and hands
// the call on; a handle that is not open fails at once, its record signalled, so that a
// caller who waits for the record does not wait for ever. A system's bridge keeps its own
// table of ports (with what it needs beside each), opens and closes them, and says how a
// port is reset and what error an unknown handle gives.
#include <cstdint>
#include <memory>

#include "platform/bridge.h"

namespace orvo {

template <typename Port>
class PortBridge : public Bridge {
 public:
  bool SetTimeouts(BridgeHandle h, const CommTimeouts& timeouts) override {
    const auto port = Find(h);
    if (!port) return false;
    port->SetTimeouts(timeouts);
    return true;
  }
  bool ResetDevice(BridgeHandle h) override {
    const auto port = Find(h);
    return port && ResetPort(*port);
  }
  bool GetState(BridgeHandle h, DeviceControlBlock& dcb) override {
    const auto port = Find(h);
    return port && port->GetState(dcb);
  }
  bool SetState(BridgeHandle h, const DeviceControlBlock& dcb) override {
    const auto port = Find(h);
    return port && port->SetState(dcb);
  }
  bool SetEventMask(BridgeHandle h, uint32_t mask) override {
    const auto port = Find(h);
    return port && port->SetEventMask(mask);
  }
  uint32_t LastError(BridgeHandle h) override {
    const auto port = Find(h);
    return port ? port->LastError() : UnknownHandleError();
  }
  bool WaitEvent(BridgeHandle h, uint32_t& events, Overlapped& ov) override {
    const auto port = Find(h);
    return port ? port->WaitEvent(events, ov) : FailUnknown(ov);
  }
  bool QueueStatus(BridgeHandle h, uint32_t& pending) override {
    const auto port = Find(h);
    pending = 0;
    return port && port->QueueStatus(pending);
  }
  bool Read(BridgeHandle h, uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov) override {
    const auto port = Find(h);
    read = 0;
    return port ? port->Read(buffer, count, read, ov) : FailUnknown(ov);
  }
  bool Write(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& written, Overlapped& ov) override {
    const auto port = Find(h);
    written = 0;
    return port ? port->Write(bytes, count, written, ov) : FailUnknown(ov);
  }
  bool OverlappedResult(BridgeHandle h, Overlapped& ov, uint32_t& transferred) override {
    const auto port = Find(h);
    transferred = 0;
    return port && port->OverlappedResult(ov, transferred);
  }
  bool Purge(BridgeHandle h, uint32_t flags) override {
    const auto port = Find(h);
    return port && port->Purge(flags);
  }

 protected:
  // The open port of `h`, or nullptr. Any thread.
  virtual std::shared_ptr<Port> Find(BridgeHandle h) const = 0;
  // Drops what both queues of the port hold.
  virtual bool ResetPort(Port& port) = 0;
  // What LastError gives for a handle that is not open.
  virtual uint32_t UnknownHandleError() const = 0;

 private:
  static bool FailUnknown(Overlapped& ov) {
    ov.Transferred.store(0);
    ov.Succeeded.store(false);
    ov.Event.Set();
    return false;
  }
};

}  // namespace orvo
