#include "protocol/message_decoder.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "protocol/short_message.h"

namespace orvo {
namespace {
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
}  // namespace

MessageDecoder::MessageDecoder(ProtocolState& state, SysExPool* pool, DispatchTarget& dispatch,
                               DeviceWriter& device)
    : state_(state), pool_(pool), dispatch_(dispatch), device_(device) {}

std::size_t MessageDecoder::Store(const uint8_t* bytes, std::size_t count) {
  const std::size_t stored = std::min(count, FreeSpace());
  for (std::size_t i = 0; i < stored; ++i) {
    ring_[write_] = bytes[i];
    write_ = (write_ + 1) % kRingSize;
  }
  return stored;
}

void MessageDecoder::Advance(std::size_t count) {
  parse_ = (parse_ + count) % kRingSize;
  localHandled_ = false;
  outputRefusals_ = 0;
}

void MessageDecoder::Parse(const std::atomic<bool>* stop) {
  stalledOnPool_ = false;
  while (parse_ != write_) {
    if (stop && stop->load()) return;
    const uint8_t first = At(0);
    Step step = Step::kGoOn;
    if (skippingSysEx_) {
      // The tail of a dropped message ends at its 0xF7, or where another message begins.
      if (first == kSysExEnd || !(first & 0x80)) Advance(1);
      if (first & 0x80) skippingSysEx_ = false;
    } else if (first == kSysExStart) {
      step = ParseSysEx();
    } else if (first & 0x80) {
      step = ParseShortMessage();
    } else {
      Advance(1);  // a stray data byte belongs to no message
    }
    if (step == Step::kStop) return;
  }
}

MessageDecoder::Step MessageDecoder::ParseSysEx() {
  const std::size_t dataSize = pool_ ? pool_->DataSize() : SysExPool::kDefaultDataSize;
  const std::size_t available = Unparsed();
  std::size_t length = 0;
  for (std::size_t i = 1; i < available && i < dataSize; ++i) {
    const uint8_t byte = At(i);
    if (byte == kSysExEnd) {
      length = i + 1;
      break;
    }
    if (byte & 0x80) {  // cut short by the next message: drop what came so far
      Advance(i);
      return Step::kGoOn;
    }
  }
  if (length == 0) {
    if (available < dataSize) return Step::kStop;  // the rest has not arrived yet
    Advance(dataSize);  // longer than a buffer holds: drop it up to its end
    skippingSysEx_ = true;
    return Step::kGoOn;
  }
  if (!pool_) {  // running without a pool: long messages cannot travel
    Advance(length);
    return Step::kGoOn;
  }
  MidiHeader* buffer = pool_->Take();
  if (!buffer) {
    if (dispatch_.LongMessageGoesNowhere()) {
      Advance(length);  // what a buffer would have carried nowhere
      return Step::kGoOn;
    }
    stalledOnPool_ = true;  // another thread took the last one: wait for one to come back
    return Step::kStop;
  }
  for (std::size_t i = 0; i < length; ++i) buffer->data[i] = At(i);
  buffer->bufferLength = static_cast<uint32_t>(length);
  buffer->bytesRecorded = static_cast<uint32_t>(length);

  const DispatchResult result = dispatch_.DispatchLongMessage(buffer);
  if (result == DispatchResult::kTaken) {
    Advance(length);
    return Step::kGoOn;
  }
  pool_->GiveBack(buffer);
  if (result == DispatchResult::kRefused && ++outputRefusals_ >= kMaxOutputRefusals) {
    Advance(length);  // the output keeps refusing it: drop the message, not the stream
    return Step::kGoOn;
  }
  std::this_thread::yield();  // offered again at once
  return Step::kGoOn;
}

MessageDecoder::Step MessageDecoder::ParseShortMessage() {
  if (Unparsed() < 3) return Step::kStop;
  uint8_t bytes[3] = {At(0), At(1), At(2)};
  const bool hostMode = state_.CurrentDeviceMode.load() == kModeHost;
  const ControlDescriptor* row = nullptr;
  if (hostMode) {
    if (!localHandled_) localHandled_ = ApplyLocalHandling(bytes);
    row = state_.LookupControlByMessage(bytes);  // may rewrite the footswitch's status
  } else {
    localHandled_ = true;
  }
  const uint32_t message = PackShortMessage(bytes[0], bytes[1], bytes[2]);
  if (row) state_.SetLastMessage(*row, message);

  if (dispatch_.DispatchShortMessage(row, message) == DispatchResult::kTaken) {
    if (hostMode) state_.LastHostControl.store(row);
    Advance(3);
  } else {
    std::this_thread::yield();  // the focus record is busy for a moment: offer it again
  }
  return Step::kGoOn;
}

bool MessageDecoder::ApplyLocalHandling(const uint8_t (&bytes)[3]) {
  if (bytes[0] != 0xBE) return false;
  if (bytes[1] == 0x41) {  // Shift button, press and release alike
    state_.ShiftLayer.store(state_.ShiftLayer.load() ? 0 : 1);
    return true;
  }
  if (bytes[1] == 0x40 && bytes[2] == 0x7F) {  // Bank press: echo the lamp, then switch
    const bool bank = state_.BankLayer.load() != 0;
    const uint8_t lamp[3] = {0xBE, 0x40, static_cast<uint8_t>(bank ? 0x00 : 0x7F)};
    if (!device_.WriteDevice(lamp, 3)) return false;
    state_.BankLayer.store(bank ? 0 : 1);
    return true;
  }
  return false;
}

}  // namespace orvo
