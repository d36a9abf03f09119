#pragma once
// What applications send to the surface, waiting for the line. Fixed size, made once:
// pushing and popping never allocate. While a lamp's message waits, a newer message to
// the same lamp takes its place at the back, so the queue holds each lamp once and the
// surface gets its latest value; what goes out is always in the order it came. A long
// message (system exclusive, mode messages among them) is never passed: lamps queued
// before it are not replaced by those after it. Nothing but lamp messages is ever
// replaced. A long message is kept in pieces but always comes out whole. Not thread-safe:
// the owner locks.
#include <array>
#include <cstdint>
#include <span>

#include "protocol/device_modes.h"

namespace orvo {

class FeedbackQueue {
 public:
  // Longest piece kept as one entry; a longer message takes several, in order.
  static constexpr uint32_t kPieceSize = 16;
  static constexpr uint16_t kCapacity = 1024;
  // The longest message the queue takes: what fits beside room for every lamp.
  static constexpr uint32_t kLongestMessage = (kCapacity - kLampMessageCount) * kPieceSize;

  FeedbackQueue();

  enum class Pushed { kQueued, kReplaced, kDropped };
  // Adds one message. kDropped when it does not fit whole: other messages leave room for
  // every lamp, so a lamp is dropped only when lamps behind long messages fill it too.
  Pushed Push(const uint8_t* bytes, uint32_t count);
  // Copies the front message, all its pieces, into `out` and removes it; its length, 0
  // when empty.
  uint32_t Pop(std::span<uint8_t, kLongestMessage> out);
  void Clear();

  bool Empty() const { return head_ == kNone; }
  uint16_t Entries() const { return used_; }

 private:
  static constexpr uint16_t kNone = 0xFFFF;
  struct Entry {
    std::array<uint8_t, kPieceSize> bytes;
    uint8_t count;
    int8_t lamp;  // lamp slot, or -1
    bool more;    // another piece of the same message follows
    uint16_t prev, next;
  };
  uint16_t Allocate();
  void Append(uint16_t at);
  void Unlink(uint16_t at);

  std::array<Entry, kCapacity> entries_{};
  uint16_t head_ = kNone, tail_ = kNone, free_ = kNone;
  uint16_t used_ = 0;
  // The queued entry of each lamp since the last long message.
  std::array<uint16_t, kLampMessageCount> lampEntry_{};
};

}  // namespace orvo
