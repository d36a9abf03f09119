#include "protocol/sysex_pool.h"

#include <new>

namespace orvo {
namespace {
constexpr std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }
}  // namespace

std::unique_ptr<SysExPool> SysExPool::Create(uint32_t count, uint32_t dataSize, uint32_t reserve) {
  if (count == 0 || dataSize == 0 || reserve >= count) return nullptr;
  // Each header directly followed by its data bytes; headers stay aligned.
  const std::size_t stride = RoundUp(sizeof(MidiHeader) + dataSize, alignof(MidiHeader));
  std::unique_ptr<std::byte[]> block(new (std::nothrow) std::byte[stride * count]);
  if (!block) return nullptr;
  try {
    return std::unique_ptr<SysExPool>(new SysExPool(count, dataSize, reserve, std::move(block), stride));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

SysExPool::SysExPool(uint32_t count, uint32_t dataSize, uint32_t reserve, std::unique_ptr<std::byte[]> block,
                     std::size_t stride)
    : count_(count), dataSize_(dataSize), reserve_(reserve), block_(std::move(block)), stride_(stride),
      ring_(count), free_(count, true), size_(count) {
  for (uint32_t i = 0; i < count_; ++i) {
    auto* header = new (block_.get() + i * stride_) MidiHeader{};
    ResetHeader(header);
    ring_[i] = header;
  }
}

SysExPool::~SysExPool() = default;  // headers are trivially destructible

void SysExPool::ResetHeader(MidiHeader* buffer) {
  buffer->data = reinterpret_cast<uint8_t*>(buffer) + sizeof(MidiHeader);
  buffer->bufferLength = dataSize_;
  buffer->bytesRecorded = 0;
  buffer->owner = this;
  buffer->flags = 0;
}

uint32_t SysExPool::IndexOf(const MidiHeader* buffer) const {
  const auto* at = reinterpret_cast<const std::byte*>(buffer);
  if (at < block_.get() || at >= block_.get() + stride_ * count_) return count_;
  const std::size_t offset = static_cast<std::size_t>(at - block_.get());
  return offset % stride_ == 0 ? static_cast<uint32_t>(offset / stride_) : count_;
}

bool SysExPool::Owns(const MidiHeader* buffer) const { return IndexOf(buffer) < count_; }

MidiHeader* SysExPool::BufferAt(uint32_t index) const {
  return index < count_ ? reinterpret_cast<MidiHeader*>(block_.get() + index * stride_) : nullptr;
}

uint32_t SysExPool::Count() const {
  std::lock_guard lock(mutex_);
  return size_;
}

MidiHeader* SysExPool::Take() { return TakeAbove(0); }

MidiHeader* SysExPool::TakeLeavingReserve() { return TakeAbove(reserve_); }

MidiHeader* SysExPool::TakeAbove(uint32_t keep) {
  std::lock_guard lock(mutex_);
  if (size_ <= keep) return nullptr;
  MidiHeader* buffer = ring_[head_];
  head_ = (head_ + 1) % count_;
  --size_;
  free_[IndexOf(buffer)] = false;
  return buffer;
}

void SysExPool::GiveBack(MidiHeader* buffer) {
  const uint32_t index = IndexOf(buffer);
  if (index >= count_) return;
  std::lock_guard lock(mutex_);
  if (free_[index]) return;  // given back twice: keep the list whole
  ResetHeader(buffer);
  free_[index] = true;
  ring_[(head_ + size_) % count_] = buffer;
  ++size_;
}

void SysExPool::GiveBackToOwner(MidiHeader* buffer) {
  if (buffer && buffer->owner) buffer->owner->GiveBack(buffer);
}

}  // namespace orvo
