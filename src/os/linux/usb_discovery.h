#pragma once
// Finds ttys by the product string of the USB device behind them, through sysfs: every
// <sysfs>/class/tty/<name>/device leads up the device tree to the USB device, the first
// ancestor with a `product` file. The roots are parameters so that tests use a fake tree.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

struct TtyCandidate {
  std::string name;        // "ttyUSB0"
  std::string devicePath;  // <dev>/ttyUSB0
};

// The product string of the USB device behind tty `name` (its trailing newline removed),
// or nothing for a tty that is not on USB.
std::optional<std::string> UsbProductOfTty(const std::string& sysfsRoot, const std::string& name);

// Every tty whose USB product string is exactly `product`, in name order.
std::vector<TtyCandidate> FindTtysByUsbProduct(const std::string& sysfsRoot, const std::string& devRoot,
                                               std::string_view product);

}  // namespace orvo
