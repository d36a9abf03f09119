#pragma once
// The open bridge to the surface and its three overlapped records. The read thread uses
// the wait and read records, every writer the write record. Disconnection makes Handle
// invalid and then signals all three events, so that a blocked thread returns and gives up.
#include <atomic>

#include "platform/bridge.h"

namespace orvo {

struct DeviceLink {
  std::atomic<BridgeHandle> Handle{kInvalidBridgeHandle};
  Overlapped WaitOverlapped;
  Overlapped ReadOverlapped;
  Overlapped WriteOverlapped;

  bool IsOpen() const { return Handle.load() != kInvalidBridgeHandle; }
};

}  // namespace orvo
