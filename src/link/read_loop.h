#pragma once
// The read thread's loop: waits for a connection and for received characters, drains the
// bridge's receive queue into the decoder's ring, and lets the decoder offer what is
// complete. Everything it reads goes through the Bridge interface.
#include <atomic>

#include "link/device_link.h"
#include "platform/bridge.h"
#include "platform/manual_reset_event.h"
#include "protocol/message_decoder.h"

namespace orvo {

class ReadLoop {
 public:
  ReadLoop(Bridge& bridge, DeviceLink& link, MessageDecoder& decoder);

  // The read thread's body: passes until `stop` is set. To stop it, set `stop`, then
  // Interrupt() `unitConnection` and the link's wait and read events.
  void Run(ManualResetEvent& unitConnection, const std::atomic<bool>& stop);

  // One pass: wait for a connection, wait for received characters, drain the receive
  // queue into the ring, parse. Read thread.
  void RunPass(ManualResetEvent& unitConnection, const std::atomic<bool>& stop);

 private:
  bool Drain(BridgeHandle handle, const std::atomic<bool>& stop);
  bool AwaitOverlapped(BridgeHandle handle, Overlapped& ov, uint32_t& transferred,
                       const std::atomic<bool>& stop);

  Bridge& bridge_;
  DeviceLink& link_;
  MessageDecoder& decoder_;
};

}  // namespace orvo
