#include "os/linux/jack_period_budget.h"

namespace orvo {

JackPeriodBudget::JackPeriodBudget(jack_client_t* client) : client_(client) {
  frames_ = jack_get_buffer_size(client_);
  const std::size_t bytes = jack_port_type_get_buffer_size(client_, JACK_DEFAULT_MIDI_TYPE);
  // Half: our periods are reckoned by the clock, and the library's process callback may
  // take what was sent in two of them at once.
  capacity_ = bytes > kBufferHeader ? (bytes - kBufferHeader) / 2 : 0;
}

bool JackPeriodBudget::Take(std::size_t bytes) {
  if (frames_ == 0) return true;  // nothing known: leave it to the library
  const uint64_t period = jack_frame_time(client_) / frames_;
  if (period != period_) {
    period_ = period;
    used_ = 0;
  }
  const std::size_t cost = CostOf(bytes);
  // A message alone in its period goes, however long: it may fit even so.
  if (used_ > 0 && used_ + cost > capacity_) return false;
  used_ += cost;
  return true;
}

}  // namespace orvo
