#include "os/linux/jack_period_budget.h"

#include <utility>

namespace orvo {

JackPeriodBudget::JackPeriodBudget(std::shared_ptr<const JackPortFollower> cycles) : cycles_(std::move(cycles)) {
  const std::size_t bytes = jack_port_type_get_buffer_size(cycles_->Client(), JACK_DEFAULT_MIDI_TYPE);
  // Half: our cycle count and the library's process callback run in the same cycle in
  // either order, so one callback may take what was sent in two of our cycles.
  capacity_ = bytes > kBufferHeader ? (bytes - kBufferHeader) / 2 : 0;
}

bool JackPeriodBudget::Take(std::size_t bytes) {
  if (capacity_ == 0) return true;  // nothing known: leave it to the library
  const uint64_t period = cycles_->Cycles();
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
