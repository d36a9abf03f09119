#pragma once
// Splits what the host sends to the surface into whole messages: three-byte messages,
// system-exclusive messages up to their F7 (cut into pieces past kMaxSysEx bytes), and
// runs of stray data bytes, which end at the next status byte. Bytes may arrive in any
// split; an unfinished message waits for the next bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvo::sim {

class HostMessageSplitter {
 public:
  static constexpr std::size_t kMaxSysEx = 64;

  // The messages that `bytes` complete, in order.
  std::vector<std::vector<uint8_t>> Feed(const uint8_t* bytes, std::size_t count);

 private:
  std::vector<uint8_t> pending_;
};

// A three-byte message with its status byte (not a run of stray data bytes).
inline bool IsShortMessage(const std::vector<uint8_t>& message) {
  return message.size() == 3 && (message[0] & 0x80) && message[0] != 0xF0;
}

// The mode a host message puts the surface in (Standard, Host, Kelo), or -1.
int32_t ModeOfMessage(const std::vector<uint8_t>& message);

}  // namespace orvo::sim
