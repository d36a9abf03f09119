#pragma once
// Device-change notifications from udev: a tty or a USB device came or went. The handler
// is where the application posts the connection check to the main thread. No polling.
#include <functional>
#include <memory>
#include <string>

#include "os/linux/fd_watch_thread.h"

struct udev;
struct udev_monitor;

namespace orvo {

class UdevMonitor {
 public:
  // `onDeviceChange` runs on the monitor's own thread, once per burst of events; it must
  // only hand the news on and return.
  explicit UdevMonitor(std::function<void()> onDeviceChange);
  ~UdevMonitor();
  UdevMonitor(const UdevMonitor&) = delete;
  UdevMonitor& operator=(const UdevMonitor&) = delete;

  // False when udev could not be reached; Error() says why.
  bool Active() const { return thread_ && thread_->Running(); }
  const std::string& Error() const { return error_; }

 private:
  void Drain();  // monitor thread

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::function<void()> onDeviceChange_;
  std::string error_;
  std::unique_ptr<FdWatchThread> thread_;
};

}  // namespace orvo
