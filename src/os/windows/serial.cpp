#include "os/windows/serial.h"

#include <windows.h>

#include "os/windows/usb_discovery.h"
#include "os/windows/wide_text.h"

namespace orvo {
namespace {

// The last open error of this thread, as the bridge library keeps it.
thread_local uint32_t tLastOpenError = 0;

// Errors that mean the port is not there (any more) rather than busy or forbidden.
bool MeansAbsent(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DEVICE_NOT_CONNECTED ||
         error == ERROR_NOT_READY || error == ERROR_BAD_UNIT || error == ERROR_GEN_FAILURE;
}

}  // namespace

std::string ComDevicePath(const std::string& port) {
  if (port.rfind("\\\\", 0) == 0) return port;
  return "\\\\.\\" + port;
}

ComBridge::ComBridge(Discovery discovery)
    : discovery_(discovery ? std::move(discovery) : Discovery(FindComPortsByUsbProduct)) {}

ComBridge::~ComBridge() {
  std::map<BridgeHandle, std::shared_ptr<ComPort>> ports;
  {
    std::lock_guard lock(mutex_);
    ports.swap(ports_);
  }
  for (auto& [handle, port] : ports) port->Close();
}

void ComBridge::SetDeviceChangeCallback(std::function<void()> callback) {
  std::lock_guard lock(callbackMutex_);
  onDeviceChange_ = std::move(callback);
}

void ComBridge::NotifyDeviceChange() {
  std::function<void()> callback;
  {
    std::lock_guard lock(callbackMutex_);
    callback = onDeviceChange_;
  }
  if (callback) callback();
}

void ComBridge::SetDevicePath(const std::string& port) {
  std::lock_guard lock(mutex_);
  devicePath_ = port;
}

int ComBridge::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(ports_.size());
}

bool ComBridge::ResetPort(ComPort& port) {
  return port.Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

uint32_t ComBridge::UnknownHandleError() const { return ERROR_INVALID_HANDLE; }

std::shared_ptr<ComPort> ComBridge::Find(BridgeHandle h) const {
  std::lock_guard lock(mutex_);
  const auto it = ports_.find(h);
  return it == ports_.end() ? nullptr : it->second;
}

BridgeHandle ComBridge::OpenByDescription(const char* description) {
  std::vector<std::string> ports;
  {
    std::lock_guard lock(mutex_);
    if (!devicePath_.empty()) ports.push_back(devicePath_);
  }
  if (ports.empty()) ports = discovery_(description ? description : "");
  uint32_t error = 0;
  for (const std::string& port : ports) {
    // Not shared: a second open of a port in use fails with access denied.
    const HANDLE handle = CreateFileW(Widened(ComDevicePath(port)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD failure = GetLastError();
      if (!MeansAbsent(failure)) error = failure;
      continue;
    }
    auto open = std::make_shared<ComPort>(handle, [this] { NotifyDeviceChange(); });
    std::lock_guard lock(mutex_);
    const BridgeHandle h = nextHandle_++;
    ports_.emplace(h, std::move(open));
    tLastOpenError = 0;
    return h;
  }
  tLastOpenError = error;
  return kInvalidBridgeHandle;
}

uint32_t ComBridge::LastOpenError() { return tLastOpenError; }

bool ComBridge::Close(BridgeHandle h) {
  std::shared_ptr<ComPort> port;
  {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(h);
    if (it == ports_.end()) return false;
    port = std::move(it->second);
    ports_.erase(it);
  }
  return port->Close();
}

bool ComBridge::DeviceGone(BridgeHandle h) {
  const auto port = Find(h);
  return !port || port->Gone();
}

}  // namespace orvo
