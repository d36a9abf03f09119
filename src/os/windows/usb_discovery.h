#pragma once
// Finding the surface's bridge among the COM ports: the port whose USB device reports
// `product` as its description, through SetupAPI. Where SetupAPI lists no ports at all
// (some systems, Wine among them, keep no device tree for serial ports), the ports the
// registry's HARDWARE\DEVICEMAP\SERIALCOMM names are candidates, but for the machine's own
// serial ports: the surface's bridge is a USB device, never one of those, and talking to
// whatever hangs on them would be taken for the surface.
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

// Port names ("COM5"), best match first.
std::vector<std::string> FindComPortsByUsbProduct(const std::string& product);
// The ports of HARDWARE\DEVICEMAP\SERIALCOMM that may be a USB bridge, in the registry's
// order.
std::vector<std::string> RegisteredComPorts();
// Whether a SERIALCOMM entry's device ("\Device\VCP0", "\Device\Serial0") may be a USB
// bridge: anything but the machine's own serial ports.
bool MayBeUsbBridge(std::string_view device);

}  // namespace orvo
