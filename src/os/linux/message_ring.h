#pragma once
// A queue of whole MIDI messages between one producer thread and one consumer thread,
// without locks and without allocation after construction: a byte ring of fixed capacity
// in which each message is stored as its length (two bytes) and its bytes. Either side
// may be a real-time thread. A message that does not fit is refused whole.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace orvo {

class MessageRing {
 public:
  static constexpr std::size_t kHeader = 2;
  static constexpr std::size_t kLongest = 0xFFFF;

  // Room for `bytes` bytes of messages and their lengths (rounded up to a power of two).
  explicit MessageRing(std::size_t bytes) {
    std::size_t capacity = 64;
    while (capacity < bytes) capacity *= 2;
    capacity_ = capacity;
    data_ = std::make_unique<uint8_t[]>(capacity_);
  }
  MessageRing(const MessageRing&) = delete;
  MessageRing& operator=(const MessageRing&) = delete;

  std::size_t Capacity() const { return capacity_; }

  // Producer: false (and nothing stored) when the message does not fit now.
  bool Push(const uint8_t* bytes, std::size_t count) {
    if (count == 0 || count > kLongest) return false;
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t head = head_.load(std::memory_order_acquire);
    if (capacity_ - (tail - head) < kHeader + count) return false;
    const uint8_t length[kHeader] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
    CopyIn(tail, length, kHeader);
    CopyIn(tail + kHeader, bytes, count);
    tail_.store(tail + kHeader + count, std::memory_order_release);
    return true;
  }

  // Consumer: the length of the oldest message, 0 when there is none.
  std::size_t FrontSize() const {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (tail_.load(std::memory_order_acquire) == head) return 0;
    uint8_t length[kHeader];
    CopyOut(head, length, kHeader);
    return static_cast<std::size_t>(length[0]) | static_cast<std::size_t>(length[1]) << 8;
  }
  // Consumer: copies the oldest message (FrontSize() bytes) to `to`.
  void CopyFront(uint8_t* to) const {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    CopyOut(head + kHeader, to, FrontSize());
  }
  // Consumer: forgets the oldest message.
  void PopFront() {
    const std::size_t size = FrontSize();
    if (size) head_.store(head_.load(std::memory_order_relaxed) + kHeader + size, std::memory_order_release);
  }
  // Consumer: forgets every message.
  void Clear() { head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release); }

  // Either side: nothing queued (the other side may be adding or taking meanwhile).
  bool Empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

 private:
  void CopyIn(std::size_t at, const uint8_t* from, std::size_t count) {
    const std::size_t offset = at & (capacity_ - 1);
    const std::size_t first = count < capacity_ - offset ? count : capacity_ - offset;
    std::memcpy(data_.get() + offset, from, first);
    std::memcpy(data_.get(), from + first, count - first);
  }
  void CopyOut(std::size_t at, uint8_t* to, std::size_t count) const {
    const std::size_t offset = at & (capacity_ - 1);
    const std::size_t first = count < capacity_ - offset ? count : capacity_ - offset;
    std::memcpy(to, data_.get() + offset, first);
    std::memcpy(to + first, data_.get(), count - first);
  }

  std::size_t capacity_ = 0;
  std::unique_ptr<uint8_t[]> data_;
  std::atomic<std::size_t> head_{0};  // written by the consumer: bytes taken so far
  std::atomic<std::size_t> tail_{0};  // written by the producer: bytes stored so far
};

}  // namespace orvo
