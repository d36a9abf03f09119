#pragma once
// The decoder of the surface's bytes: keeps what was read in a ring, splits the stream
// into system-exclusive and three-byte messages, does the Host-mode handling of Bank and
// Shift, and offers every complete message to dispatch until it is taken. It never
// touches the bridge: the read loop (or a test, a fuzzer) stores the bytes. Read thread.
//
// Bad input: a stray data byte is skipped; a system-exclusive message that is longer
// than a pool buffer, or that is cut short by another status byte, is dropped whole and
// the reader goes on with the next message; a read never overwrites unparsed bytes.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include <span>

#include "protocol/device_writer.h"
#include "protocol/dispatch_target.h"
#include "protocol/protocol_state.h"
#include "protocol/sysex_pool.h"

namespace orvo {

class MessageDecoder {
 public:
  static constexpr std::size_t kRingSize = 1024;
  // How often in a row the MIDI output may refuse one long message before it is dropped.
  static constexpr int kMaxOutputRefusals = 3;

  MessageDecoder(ProtocolState& state, SysExPool* pool, DispatchTarget& dispatch, DeviceWriter& device);

  // Stores bytes as if read from the bridge, at most the free space; returns how many.
  std::size_t Store(const uint8_t* bytes, std::size_t count);
  // The free room from the write position up to the ring's end, to read into directly;
  // Commit() then takes the `count` bytes that arrived there.
  std::span<uint8_t> WritableRun() {
    return {ring_.data() + write_, std::min(kRingSize - write_, FreeSpace())};
  }
  void Commit(std::size_t count) { write_ = (write_ + count) % kRingSize; }
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
  uint8_t At(std::size_t offset) const { return ring_[(parse_ + offset) % kRingSize]; }
  void Advance(std::size_t count);

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
