#include "app/dispatch_report_printer.h"

#include <vector>

namespace orvo {

DispatchReportPrinter::DispatchReportPrinter(ReportContext context, std::function<void(const std::string&)> say)
    : context_(std::move(context)), say_(std::move(say)), thread_([this] { Run(); }) {}

DispatchReportPrinter::~DispatchReportPrinter() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void DispatchReportPrinter::OnDispatched(const DispatchReport& report) {
  {
    std::lock_guard lock(mutex_);
    if (count_ == kCapacity) {
      ++dropped_;
      return;
    }
    ring_[(head_ + count_) % kCapacity] = report;
    ++count_;
  }
  wake_.notify_one();
}

void DispatchReportPrinter::Run() {
  std::vector<DispatchReport> batch;
  batch.reserve(kCapacity);
  Clock::time_point due = Clock::time_point::max();
  for (;;) {
    std::size_t dropped = 0;
    bool stopping = false;
    {
      std::unique_lock lock(mutex_);
      const auto ready = [this] { return stop_ || count_ > 0; };
      if (due == Clock::time_point::max())
        wake_.wait(lock, ready);
      else
        wake_.wait_until(lock, due, ready);
      for (; count_ > 0; --count_, head_ = (head_ + 1) % kCapacity) batch.push_back(ring_[head_]);
      std::swap(dropped, dropped_);
      stopping = stop_;
    }
    const Clock::time_point now = Clock::now();
    for (const DispatchReport& report : batch) Take(report, now);
    batch.clear();
    if (dropped) say_("(" + std::to_string(dropped) + " more events came too fast to be shown)");
    due = FlushHeld(now, stopping);
    if (stopping) return;
  }
}

void DispatchReportPrinter::Take(const DispatchReport& report, Clock::time_point now) {
  if (!report.row || !IsContinuousControl(report.row->id)) {
    say_(DescribeDispatch(report, context_));
    return;
  }
  Held& held = held_[report.row];
  if (now - held.printed >= kContinuousInterval) {
    say_(DescribeDispatch(report, context_));
    held.printed = now;
    held.pending = false;
  } else {
    held.report = report;
    held.pending = true;
  }
}

DispatchReportPrinter::Clock::time_point DispatchReportPrinter::FlushHeld(Clock::time_point now, bool all) {
  Clock::time_point next = Clock::time_point::max();
  for (auto& [row, held] : held_) {
    if (!held.pending) continue;
    const Clock::time_point due = held.printed + kContinuousInterval;
    if (all || due <= now) {
      say_(DescribeDispatch(held.report, context_));
      held.printed = now;
      held.pending = false;
    } else if (due < next) {
      next = due;
    }
  }
  return next;
}

}  // namespace orvo
