#include "sim/host_message_splitter.h"

#include <algorithm>

#include "protocol/device_modes.h"

namespace orvo::sim {

std::vector<std::vector<uint8_t>> HostMessageSplitter::Feed(const uint8_t* bytes, std::size_t count) {
  std::vector<std::vector<uint8_t>> messages;
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    // A status byte ends a stray run of data bytes before it.
    if ((byte & 0x80) && !pending_.empty() && !(pending_[0] & 0x80)) {
      messages.push_back(std::move(pending_));
      pending_.clear();
    }
    pending_.push_back(byte);
    const uint8_t first = pending_[0];
    bool complete = false;
    if (first == 0xF0) complete = byte == 0xF7 || pending_.size() >= kMaxSysEx;
    else if (first & 0x80) complete = pending_.size() == 3;
    if (complete) {
      messages.push_back(std::move(pending_));
      pending_.clear();
    }
  }
  return messages;
}

int32_t ModeOfMessage(const std::vector<uint8_t>& message) {
  for (int32_t mode = kModeStandard; mode <= kModeKelo; ++mode) {
    const auto* known = ModeMessage(mode);
    if (known && message.size() == known->size() && std::equal(known->begin(), known->end(), message.begin()))
      return mode;
  }
  return -1;
}

}  // namespace orvo::sim
