#pragma once
// The one pool of long-message buffers: made once in a single block, never grown; taking
// and giving back only moves a buffer on the first-in first-out free list. Safe from
// every thread (the read thread, the MIDI system's threads, the main thread). The last
// `reserve` free buffers are kept for the surface's long messages: input ports, which
// queue a thousand each, cannot take them. Takers check what they got, never Count()
// first: another thread may take the last buffer in between.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/midi_header.h"

namespace orvo {

class SysExPool {
 public:
  static constexpr uint32_t kDefaultCount = 2000;
  static constexpr uint32_t kDefaultDataSize = 16;
  // Enough for the surface's long messages in flight to the applications.
  static constexpr uint32_t kSurfaceReserve = 64;

  // nullptr when the block cannot be allocated or `reserve` is not below `count`.
  static std::unique_ptr<SysExPool> Create(uint32_t count = kDefaultCount,
                                           uint32_t dataSize = kDefaultDataSize, uint32_t reserve = 0);
  ~SysExPool();
  SysExPool(const SysExPool&) = delete;
  SysExPool& operator=(const SysExPool&) = delete;

  // The number of free buffers.
  uint32_t Count() const;
  // The front buffer of the free list, or nullptr when none is free.
  MidiHeader* Take();
  // The same for an input port: nullptr when only the reserve is left.
  MidiHeader* TakeLeavingReserve();
  // Restores the free-state header and appends the buffer to the free list. A buffer of
  // another pool, or one that is already free, is ignored.
  void GiveBack(MidiHeader* buffer);
  // Gives `buffer` back to the pool named in its header.
  static void GiveBackToOwner(MidiHeader* buffer);

  uint32_t Capacity() const { return count_; }
  uint32_t DataSize() const { return dataSize_; }
  bool Owns(const MidiHeader* buffer) const;
  // The buffer at `index` in block order (for tests and diagnostics).
  MidiHeader* BufferAt(uint32_t index) const;

 private:
  SysExPool(uint32_t count, uint32_t dataSize, uint32_t reserve, std::unique_ptr<std::byte[]> block,
            std::size_t stride);
  MidiHeader* TakeAbove(uint32_t keep);
  void ResetHeader(MidiHeader* buffer);
  uint32_t IndexOf(const MidiHeader* buffer) const;

  const uint32_t count_;
  const uint32_t dataSize_;
  const uint32_t reserve_;
  const std::unique_ptr<std::byte[]> block_;
  const std::size_t stride_;

  mutable std::mutex mutex_;
  std::vector<MidiHeader*> ring_;  // the free list, fixed capacity, front at head_
  std::vector<bool> free_;         // by block index
  uint32_t head_ = 0;
  uint32_t size_ = 0;
};

}  // namespace orvo
