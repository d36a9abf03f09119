#pragma once
// A sysfs tree and a /dev directory in a temporary directory, for discovery by USB
// product string: each USB tty gets class/tty/<name>/device pointing into a device tree
// whose USB device carries `product`, and dev/<name> pointing at a real tty (a pty).
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace orvo::test {

class FakeSysfs {
 public:
  FakeSysfs() {
    char pattern[] = "/tmp/orvo-sysfs-XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(Sys() + "/class/tty");
    std::filesystem::create_directories(Dev());
  }
  ~FakeSysfs() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  std::string Sys() const { return root_ + "/sys"; }
  std::string Dev() const { return root_ + "/dev"; }
  std::string Root() const { return root_; }

  // A tty on USB device number `usb` whose product string is `product`; its node points
  // at `ttyPath` (empty: no node).
  void AddUsbTty(const std::string& name, const std::string& product, const std::string& ttyPath, int usb = 1) {
    const std::string usbDevice = Sys() + "/devices/pci0000:00/usb1/1-" + std::to_string(usb);
    const std::string port = usbDevice + "/1-" + std::to_string(usb) + ":1.0/" + name;
    std::filesystem::create_directories(port + "/tty/" + name);
    std::ofstream(usbDevice + "/product") << product << '\n';
    std::ofstream(usbDevice + "/idVendor") << "0403\n";
    std::filesystem::create_directories(Sys() + "/class/tty/" + name);
    std::filesystem::create_directory_symlink(port, Sys() + "/class/tty/" + name + "/device");
    if (!ttyPath.empty()) SetNode(name, ttyPath);
  }
  // A tty with no device behind it (a virtual console).
  void AddVirtualTty(const std::string& name) { std::filesystem::create_directories(Sys() + "/class/tty/" + name); }
  void SetNode(const std::string& name, const std::string& ttyPath) {
    std::error_code ec;
    std::filesystem::remove(Dev() + "/" + name, ec);
    std::filesystem::create_symlink(ttyPath, Dev() + "/" + name);
  }
  // The device is gone: its sysfs entry and its node.
  void RemoveTty(const std::string& name) {
    std::error_code ec;
    std::filesystem::remove_all(Sys() + "/class/tty/" + name, ec);
    std::filesystem::remove(Dev() + "/" + name, ec);
  }

 private:
  std::string root_;
};

}  // namespace orvo::test
