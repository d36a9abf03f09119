#include "link/feedback_queue.h"

#include <algorithm>

namespace orvo {

FeedbackQueue::FeedbackQueue() { Clear(); }

void FeedbackQueue::Clear() {
  for (uint16_t i = 0; i < kCapacity; ++i) entries_[i].next = i + 1 < kCapacity ? static_cast<uint16_t>(i + 1) : kNone;
  free_ = 0;
  head_ = tail_ = kNone;
  used_ = 0;
  lampEntry_.fill(kNone);
}

uint16_t FeedbackQueue::Allocate() {
  const uint16_t at = free_;
  free_ = entries_[at].next;
  ++used_;
  return at;
}

void FeedbackQueue::Append(uint16_t at) {
  Entry& entry = entries_[at];
  entry.prev = tail_;
  entry.next = kNone;
  if (tail_ == kNone) head_ = at; else entries_[tail_].next = at;
  tail_ = at;
}

void FeedbackQueue::Unlink(uint16_t at) {
  Entry& entry = entries_[at];
  if (entry.prev == kNone) head_ = entry.next; else entries_[entry.prev].next = entry.next;
  if (entry.next == kNone) tail_ = entry.prev; else entries_[entry.next].prev = entry.prev;
}

FeedbackQueue::Pushed FeedbackQueue::Push(const uint8_t* bytes, uint32_t count) {
  if (count == 0) return Pushed::kQueued;
  const int lamp = count == 3 ? LampSlot(bytes[0], bytes[1]) : -1;
  if (lamp >= 0) {
    uint16_t& queued = lampEntry_[static_cast<std::size_t>(lamp)];
    if (queued != kNone) {
      // The newer value goes where the newer message came: behind everything before it.
      Unlink(queued);
      entries_[queued].bytes[2] = bytes[2];
      Append(queued);
      return Pushed::kReplaced;
    }
    if (used_ == kCapacity) return Pushed::kDropped;
    queued = Allocate();
    Entry& entry = entries_[queued];
    std::copy_n(bytes, 3, entry.bytes.begin());
    entry.count = 3;
    entry.lamp = static_cast<int8_t>(lamp);
    entry.more = false;
    Append(queued);
    return Pushed::kQueued;
  }
  const uint32_t pieces = (count + kPieceSize - 1) / kPieceSize;
  if (count > kLongestMessage || used_ + pieces + kLampMessageCount > kCapacity) return Pushed::kDropped;
  for (uint32_t done = 0; done < count; done += kPieceSize) {
    const uint16_t at = Allocate();
    Entry& entry = entries_[at];
    entry.count = static_cast<uint8_t>(std::min(kPieceSize, count - done));
    std::copy_n(bytes + done, entry.count, entry.bytes.begin());
    entry.lamp = -1;
    entry.more = done + entry.count < count;
    Append(at);
  }
  // Short messages of other addresses keep their place without holding lamps back; no
  // lamp queued before a piece of a long message (system exclusive, a mode message) takes
  // a newer value from behind it.
  const bool shortMessage = count == 3 && bytes[0] >= 0x80 && bytes[0] != 0xF0 && bytes[0] != 0xF7;
  if (!shortMessage) lampEntry_.fill(kNone);
  return Pushed::kQueued;
}

uint32_t FeedbackQueue::Pop(std::span<uint8_t, kLongestMessage> out) {
  uint32_t count = 0;
  for (bool more = head_ != kNone; more;) {
    const uint16_t at = head_;
    Entry& entry = entries_[at];
    Unlink(at);
    if (entry.lamp >= 0 && lampEntry_[static_cast<std::size_t>(entry.lamp)] == at)
      lampEntry_[static_cast<std::size_t>(entry.lamp)] = kNone;
    std::copy_n(entry.bytes.begin(), entry.count, out.begin() + count);
    count += entry.count;
    more = entry.more;
    entry.next = free_;
    free_ = at;
    --used_;
  }
  return count;
}

}  // namespace orvo
