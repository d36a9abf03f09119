#pragma once
// The read thread's reader: drains the bridge's receive queue into a ring, splits the
// stream into system-exclusive and three-byte messages, does the Host-mode handling of
// Bank and Shift, and offers every complete message to dispatch until it is taken.
//
// Bad input: a stray data byte is skipped; a system-exclusive message that is longer
// than a pool buffer, or that is cut short by another status byte, is dropped whole and
// the reader goes on with the next message; a read never overwrites unparsed bytes.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "link/device_link.h"
#include "midi/sysex_pool.h"
#include "platform/bridge.h"
#include "platform/manual_reset_event.h"
#include "protocol/device_writer.h"
#include "protocol/dispatch_target.h"
#include "protocol/protocol_state.h"

namespace orvo {

class MessageReader {
 public:
  static constexpr std::size_t kRingSize = 1024;
  // How often in a row the MIDI output may refuse one long message before it is dropped.
  static constexpr int kMaxOutputRefusals = 3;

  MessageReader(Bridge& bridge, DeviceLink& link, ProtocolState& state, SysExPool* pool,
                DispatchTarget& dispatch, DeviceWriter& device);

  // The read thread's body: passes until `stop` is set. To stop it, set `stop`, then
  // Interrupt() `unitConnection` and the link's wait and read events.
  void Run(ManualResetEvent& unitConnection, const std::atomic<bool>& stop);

  // One pass: wait for a connection, wait for received characters, drain the receive
  // queue into the ring, parse. Read thread.
  void RunPass(ManualResetEvent& unitConnection, const std::atomic<bool>& stop);

  // Stores bytes as if read from the bridge, at most the free space; returns how many.
  std::size_t Store(const uint8_t* bytes, std::size_t count);
  // Offers every complete message in the ring to dispatch. Stops early when `stop` is set.
  void Parse(const std::atomic<bool>* stop = nullptr);

  std::size_t Unparsed() const { return (write_ + kRingSize - parse_) % kRingSize; }
  // One slot always stays empty, so that a full ring is told from an empty one.
  std::size_t FreeSpace() const { return kRingSize - 1 - Unparsed(); }
  // True when a system-exclusive message waits for a free pool buffer.
  bool StalledOnPool() const { return stalledOnPool_; }

 private:
  enum class Step { kGoOn, kStop };
  Step ParseSysEx();
  Step ParseShortMessage();
  // The Host-mode handling of Bank and Shift; true when it took effect.
  bool ApplyLocalHandling(const uint8_t (&bytes)[3]);
  bool Drain(BridgeHandle handle, const std::atomic<bool>& stop);
  bool AwaitOverlapped(BridgeHandle handle, Overlapped& ov, uint32_t& transferred,
                       const std::atomic<bool>& stop);
  uint8_t At(std::size_t offset) const { return ring_[(parse_ + offset) % kRingSize]; }
  void Advance(std::size_t count);

  Bridge& bridge_;
  DeviceLink& link_;
  ProtocolState& state_;
  SysExPool* pool_;
  DispatchTarget& dispatch_;
  DeviceWriter& device_;

  std::array<uint8_t, kRingSize> ring_{};
  std::size_t write_ = 0;
  std::size_t parse_ = 0;
  bool localHandled_ = false;  // the message at parse_ had its local handling
  bool skippingSysEx_ = false;  // inside an over-long system-exclusive message
  bool stalledOnPool_ = false;
  int outputRefusals_ = 0;  // of the long message at parse_
};

}  // namespace orvo
