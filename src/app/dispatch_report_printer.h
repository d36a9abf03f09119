#pragma once
// Prints a line for every control event saying what became of it (simulated and headless
// runs). The read thread only copies the report into a fixed ring; a thread of its own
// formats and prints. A fader, pot or wheel moved in a run prints at most one line per
// control every kContinuousInterval, and always its last value.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "app/dispatch_report_line.h"

namespace orvo {

class DispatchReportPrinter : public DispatchObserver {
 public:
  static constexpr std::size_t kCapacity = 256;
  static constexpr auto kContinuousInterval = std::chrono::milliseconds(250);

  // `say` prints one line; it is called on the printer's thread.
  DispatchReportPrinter(ReportContext context, std::function<void(const std::string&)> say);
  // Prints what is still queued or held, then joins the thread.
  ~DispatchReportPrinter() override;
  DispatchReportPrinter(const DispatchReportPrinter&) = delete;
  DispatchReportPrinter& operator=(const DispatchReportPrinter&) = delete;

  // Read thread: copies the report; when the ring is full the report is counted instead.
  void OnDispatched(const DispatchReport& report) override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Held {
    DispatchReport report;
    Clock::time_point printed{};
    bool pending = false;
  };

  void Run();
  // Prints now, or holds a continuous control's report until its interval has passed.
  void Take(const DispatchReport& report, Clock::time_point now);
  // Prints the held reports that are due (all of them when `all`); the next due time.
  Clock::time_point FlushHeld(Clock::time_point now, bool all);

  const ReportContext context_;
  const std::function<void(const std::string&)> say_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::array<DispatchReport, kCapacity> ring_{};
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::size_t dropped_ = 0;
  bool stop_ = false;

  std::map<const ControlDescriptor*, Held> held_;  // printer thread only
  std::thread thread_;
};

}  // namespace orvo
