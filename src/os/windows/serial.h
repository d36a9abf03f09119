#pragma once
// The bridge on Windows: the surface's USB-to-serial bridge as a COM port, 38400 8N1,
// on overlapped I/O. A description is looked up as the USB product string of a COM port
// (see usb_discovery.h); or, with a port name set (--device COM5), every description
// stands for that port. Handles are never reused, so a stale handle cannot reach a new
// port.
//
// Last open error: 0 when no device of the description is present (none found, or its
// port has gone), otherwise the Windows error that kept it from opening (5 when another
// program holds it). Like the thread's last-error value, it is kept per thread.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "os/windows/com_port.h"
#include "platform/port_bridge.h"

namespace orvo {

class ComBridge : public PortBridge<ComPort> {
 public:
  // Where the ports of a description are found; FindComPortsByUsbProduct by default.
  using Discovery = std::function<std::vector<std::string>(const std::string& description)>;
  explicit ComBridge(Discovery discovery = {});
  ~ComBridge() override;  // closes every open port
  ComBridge(const ComBridge&) = delete;
  ComBridge& operator=(const ComBridge&) = delete;

  // Called when an open port's device goes. Runs on the port's reader thread: it must
  // only post the connection check to the main thread and return.
  void SetDeviceChangeCallback(std::function<void()> callback);
  // Every description opens this port from now on ("COM5", or a device path such as
  // "\\.\COM12"); empty: back to discovery.
  void SetDevicePath(const std::string& port);

  int OpenHandles() const;

  // Bridge.
  BridgeHandle OpenByDescription(const char* description) override;
  uint32_t LastOpenError() override;
  bool Close(BridgeHandle h) override;
  bool DeviceGone(BridgeHandle h) override;

 private:
  // PortBridge.
  std::shared_ptr<ComPort> Find(BridgeHandle h) const override;
  bool ResetPort(ComPort& port) override;
  uint32_t UnknownHandleError() const override;
  void NotifyDeviceChange();  // reader threads

  const Discovery discovery_;
  mutable std::mutex mutex_;
  std::map<BridgeHandle, std::shared_ptr<ComPort>> ports_;
  BridgeHandle nextHandle_ = 1;
  std::string devicePath_;
  mutable std::mutex callbackMutex_;
  std::function<void()> onDeviceChange_;
};

// The name CreateFile opens for a port: "COM12" -> "\\.\COM12"; a path stays as it is.
std::string ComDevicePath(const std::string& port);

}  // namespace orvo
