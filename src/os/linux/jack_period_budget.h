#pragma once
// What one JACK period can carry on one MIDI output port. Messages sent during a period
// go out together in the next one, into a port buffer of a fixed size; the library drops
// what does not fit without a word. Counting here what each period takes lets the output
// refuse (and count) a message beyond that instead. The server tells the size of a MIDI
// port's buffer; a header is taken off it, and each event costs its header and, above
// four bytes, its data.
#include <jack/jack.h>

#include <cstddef>
#include <cstdint>

namespace orvo {

class JackPeriodBudget {
 public:
  // `client`: any client of the server the port is on; it must outlive the budget.
  explicit JackPeriodBudget(jack_client_t* client);

  // The sending thread (one at a time per port): true when a message of `bytes` still fits
  // into the current period, which it then takes; false when it must be dropped.
  bool Take(std::size_t bytes);
  std::size_t Capacity() const { return capacity_; }

  static constexpr std::size_t kBufferHeader = 64;
  static constexpr std::size_t kEventHeader = 12;
  static std::size_t CostOf(std::size_t bytes) { return kEventHeader + (bytes > 4 ? bytes : 0); }

 private:
  jack_client_t* const client_;
  jack_nframes_t frames_ = 0;
  std::size_t capacity_ = 0;
  uint64_t period_ = ~uint64_t{0};  // the period being filled
  std::size_t used_ = 0;
};

}  // namespace orvo
