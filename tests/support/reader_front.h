#pragma once
// The device message reader in front of a rig's dispatch, in Host mode: bytes given to
// Receive are parsed and dispatched as if read from the surface.
#include <vector>

#include "link/device_link.h"
#include "platform/fake/fake_bridge.h"
#include "protocol/message_reader.h"
#include "support/dispatch_rig.h"
#include "support/recording_device.h"

namespace orvo::test {

struct ReaderFront {
  explicit ReaderFront(DispatchRig& rig)
      : reader(bridge, link, rig.context.Protocol, rig.pool.get(), rig.dispatch, device) {
    rig.context.Protocol.CurrentDeviceMode = kModeHost;
  }
  void Receive(const std::vector<uint8_t>& bytes) {
    reader.Store(bytes.data(), bytes.size());
    reader.Parse();
  }

  FakeBridge bridge;
  DeviceLink link;
  RecordingDevice device;
  MessageReader reader;
};

}  // namespace orvo::test
