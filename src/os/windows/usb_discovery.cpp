#include "os/windows/usb_discovery.h"

#include <windows.h>

#include <cctype>
// clang-format off
#include <initguid.h>
#include <devpkey.h>
#include <setupapi.h>
// clang-format on

#include "os/windows/wide_text.h"

namespace orvo {
namespace {

// The device interface class of COM ports (GUID_DEVINTERFACE_COMPORT).
constexpr GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

std::wstring StringProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, const DEVPROPKEY& key) {
  DEVPROPTYPE type = 0;
  wchar_t text[256] = {};
  if (!SetupDiGetDevicePropertyW(devices, &device, &key, &type, reinterpret_cast<BYTE*>(text), sizeof text - sizeof(wchar_t),
                                 nullptr, 0) ||
      type != DEVPROP_TYPE_STRING)
    return {};
  return text;
}

std::wstring PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[64] = {};
  DWORD size = sizeof name - sizeof(wchar_t);
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? name : L"";
}

}  // namespace

bool MayBeUsbBridge(std::string_view device) {
  // The machine's own ports are served by the serial driver, whose devices are named so.
  constexpr std::string_view kOnBoard = "\\Device\\Serial";
  if (device.size() < kOnBoard.size()) return true;
  for (std::size_t i = 0; i < kOnBoard.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(device[i])) != std::tolower(static_cast<unsigned char>(kOnBoard[i])))
      return true;
  return false;
}

std::vector<std::string> RegisteredComPorts() {
  std::vector<std::string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return ports;
  for (DWORD index = 0;; ++index) {
    wchar_t valueName[256];
    DWORD nameSize = 256;
    wchar_t data[64] = {};
    DWORD dataSize = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status =
        RegEnumValueW(key, index, valueName, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS && type == REG_SZ && data[0] && MayBeUsbBridge(Narrowed(valueName)))
      ports.push_back(Narrowed(data));
  }
  RegCloseKey(key);
  return ports;
}

std::vector<std::string> FindComPortsByUsbProduct(const std::string& product) {
  std::vector<std::string> found;
  bool anyPort = false;
  const std::wstring wanted = Widened(product);
  HDEVINFO devices = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (devices != INVALID_HANDLE_VALUE) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
      const std::wstring port = PortName(devices, device);
      if (port.empty()) continue;
      anyPort = true;
      // The USB product string, as the device reported it; the driver's description as
      // a fallback for drivers that name the device after it.
      if (StringProperty(devices, device, DEVPKEY_Device_BusReportedDeviceDesc) == wanted ||
          StringProperty(devices, device, DEVPKEY_Device_DeviceDesc) == wanted)
        found.push_back(Narrowed(port));
    }
    SetupDiDestroyDeviceInfoList(devices);
  }
  if (!anyPort) return RegisteredComPorts();
  return found;
}

}  // namespace orvo
