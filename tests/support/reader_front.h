#pragma once
// The decoder in front of a rig's dispatch, in Host mode: bytes given to
// Receive are parsed and dispatched as if read from the surface.
#include <vector>

#include "os/fake/recording_device.h"
#include "protocol/message_decoder.h"
#include "support/dispatch_rig.h"

namespace orvo::test {

struct ReaderFront {
  explicit ReaderFront(DispatchRig& rig)
      : reader(rig.context.Protocol, rig.pool.get(), rig.dispatch, device) {
    rig.context.Protocol.CurrentDeviceMode = kModeHost;
  }
  void Receive(const std::vector<uint8_t>& bytes) {
    reader.Store(bytes.data(), bytes.size());
    reader.Parse();
  }

  RecordingDevice device;
  MessageDecoder reader;
};

}  // namespace orvo::test
