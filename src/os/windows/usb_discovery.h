#pragma once
// Finding the surface's bridge among the COM ports: the port whose USB device reports
// `product` as its description, through SetupAPI. Where SetupAPI lists no ports at all
// (some systems, Wine among them, keep no device tree for serial ports), every port the
// registry's HARDWARE\DEVICEMAP\SERIALCOMM names is a candidate.
#include <string>
#include <vector>

namespace orvo {

// Port names ("COM5"), best match first.
std::vector<std::string> FindComPortsByUsbProduct(const std::string& product);
// The ports of HARDWARE\DEVICEMAP\SERIALCOMM, in the registry's order.
std::vector<std::string> RegisteredComPorts();

}  // namespace orvo
