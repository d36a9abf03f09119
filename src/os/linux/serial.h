#pragma once
// The bridge on Linux: the surface's USB-to-serial bridge as a tty. A description is
// looked up as the USB product string of a tty's device in sysfs; or, with a device path
// set (--device), every description stands for that one path, so that any tty can serve:
// a pty of the simulated surface, a USB-MIDI adapter's tty, a udev symlink.
//
// The line is used exclusively (an advisory lock plus TIOCEXCL), so a second open of the
// connected device fails as busy. An FTDI bridge's latency is lowered to 1 ms where the
// driver allows it. Handles are never reused, so a stale handle cannot reach a new tty.
//
// Last open error: 0 when no device of the description is present (none found, or its
// node has gone or hung up), otherwise the errno that kept it from opening (EBUSY,
// EACCES, ...). Like the thread's last-error value, it is kept per thread.
#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "os/linux/path_watcher.h"
#include "os/linux/tty_port.h"
#include "platform/port_bridge.h"

namespace orvo {

struct TtyBridgeOptions {
  std::string sysfsRoot = "/sys";
  std::string devRoot = "/dev";
};

class TtyBridge : public PortBridge<TtyPort> {
 public:
  explicit TtyBridge(TtyBridgeOptions options = {});
  ~TtyBridge() override;  // closes every open port
  TtyBridge(const TtyBridge&) = delete;
  TtyBridge& operator=(const TtyBridge&) = delete;

  // Called when an open tty hangs up and, with a device path, whenever that path appears,
  // goes or changes. Runs on a bridge thread (a port's watcher or the path watcher): it
  // must only post the connection check to the main thread and return. Set it before
  // opening anything or setting a device path.
  void SetDeviceChangeCallback(std::function<void()> callback);
  // Every description opens `path` from now on (empty: back to discovery), and the path
  // is watched for appearing and going.
  void SetDevicePath(const std::string& path);
  // Whether the device path's directory is watched (false without a path).
  bool WatchingDevicePath() const;

  // Number of open handles (for checks against leaks).
  int OpenHandles() const;

  // Bridge.
  BridgeHandle OpenByDescription(const char* description) override;
  uint32_t LastOpenError() override;
  bool Close(BridgeHandle h) override;
  // Hung up, or the path it was opened at now leads to another device or none.
  bool DeviceGone(BridgeHandle h) override;

 private:
  struct OpenPort {
    std::shared_ptr<TtyPort> port;
    std::string path;        // as opened: the device path, or the tty discovery found
    dev_t device = 0;        // the tty's device number
  };

  // PortBridge.
  std::shared_ptr<TtyPort> Find(BridgeHandle h) const override;
  bool ResetPort(TtyPort& port) override;
  uint32_t UnknownHandleError() const override;
  // Opens `path` for exclusive use; the fd, or -errno.
  int OpenTty(const std::string& path) const;
  void LowerLatency(int fd, const std::string& path) const;
  void NotifyDeviceChange();  // bridge threads

  const TtyBridgeOptions options_;

  mutable std::mutex mutex_;
  std::map<BridgeHandle, OpenPort> ports_;
  BridgeHandle nextHandle_ = 1;
  std::string devicePath_;
  std::unique_ptr<PathWatcher> pathWatcher_;
  // Apart from mutex_, so that a watcher being joined under mutex_ can still report.
  mutable std::mutex callbackMutex_;
  std::function<void()> onDeviceChange_;
};

}  // namespace orvo
