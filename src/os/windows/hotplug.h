#pragma once
// Device-change notifications on Windows: a hidden window of our own on a thread of its
// own receives WM_DEVICECHANGE, registered for the arrival and removal of COM ports (and
// the device-tree broadcasts every top-level window gets). The handler is where the
// application posts the connection check to the main thread. No polling.
#include <functional>
#include <memory>
#include <string>

namespace orvo {

class DeviceNotifications {
 public:
  // `onDeviceChange` runs on the notifications' own thread, once per message; it must
  // only hand the news on and return.
  explicit DeviceNotifications(std::function<void()> onDeviceChange);
  ~DeviceNotifications();
  DeviceNotifications(const DeviceNotifications&) = delete;
  DeviceNotifications& operator=(const DeviceNotifications&) = delete;

  // False when the window could not be made; Error() says why.
  bool Active() const;
  const std::string& Error() const;
  // The window that receives the notifications (an HWND), for tests.
  void* Window() const;

 private:
  struct Thread;
  std::unique_ptr<Thread> thread_;
};

}  // namespace orvo
