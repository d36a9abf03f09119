#include "os/linux/hotplug.h"

#include <libudev.h>

namespace orvo {

UdevMonitor::UdevMonitor(std::function<void()> onDeviceChange) : onDeviceChange_(std::move(onDeviceChange)) {
  udev_ = udev_new();
  if (!udev_) {
    error_ = "udev is not available";
    return;
  }
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_) {
    error_ = "cannot listen to udev events";
    return;
  }
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    error_ = "cannot filter udev events";
    return;
  }
  thread_ = std::make_unique<FdWatchThread>(udev_monitor_get_fd(monitor_), [this] { Drain(); });
}

UdevMonitor::~UdevMonitor() {
  thread_.reset();  // joined before the monitor goes
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

void UdevMonitor::Drain() {
  bool any = false;
  // The monitor's socket is non-blocking: take every queued event, then report once.
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    udev_device_unref(device);
    any = true;
  }
  if (any) onDeviceChange_();
}

}  // namespace orvo
