#pragma once
// What one JACK period can carry on one MIDI output port. Messages sent during a period
// go out together in the next one, into a port buffer of a fixed size; the library drops
// what does not fit without a word. Counting here what each period takes lets the output
// refuse (and count) a message beyond that instead. The server tells the size of a MIDI
// port's buffer; a header is taken off it, and each event costs its header and, above
// four bytes, its data.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "os/linux/jack_port_follower.h"

namespace orvo {

class JackPeriodBudget {
 public:
  // `cycles` counts the server's process cycles; its client is on the port's server.
  explicit JackPeriodBudget(std::shared_ptr<const JackPortFollower> cycles);

  // The sending thread (one at a time per port): true when a message of `bytes` still fits
  // into the current period, which it then takes; false when it must be dropped.
  bool Take(std::size_t bytes);
  std::size_t Capacity() const { return capacity_; }

  static constexpr std::size_t kBufferHeader = 64;
  static constexpr std::size_t kEventHeader = 12;
  static std::size_t CostOf(std::size_t bytes) { return kEventHeader + (bytes > 4 ? bytes : 0); }

 private:
  const std::shared_ptr<const JackPortFollower> cycles_;
  std::size_t capacity_ = 0;
  uint64_t period_ = ~uint64_t{0};  // the cycle being filled
  std::size_t used_ = 0;
};

}  // namespace orvo
