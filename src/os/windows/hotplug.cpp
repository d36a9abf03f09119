#include "os/windows/hotplug.h"

#include <windows.h>
// clang-format off
#include <dbt.h>
// clang-format on

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orvo {
namespace {

// The device interface class of COM ports (GUID_DEVINTERFACE_COMPORT).
constexpr GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
constexpr wchar_t kWindowClass[] = L"OrvoDeviceNotifications";

}  // namespace

struct DeviceNotifications::Thread {
  std::function<void()> onDeviceChange;
  std::mutex mutex;
  std::condition_variable started;
  bool ready = false;
  HWND window = nullptr;
  std::string error;
  std::thread thread;

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
      auto* self = reinterpret_cast<Thread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (self && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE || wParam == DBT_DEVNODES_CHANGED))
        self->onDeviceChange();
      return TRUE;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);  // closed by the destructor
    return DefWindowProcW(window, message, wParam, lParam);
  }

  // The notifications' thread.
  void Run() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Thread::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    // A hidden top-level window: the device-tree broadcasts reach no message-only window.
    const HWND made = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    HDEVNOTIFY registration = nullptr;
    if (made) {
      SetWindowLongPtrW(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      DEV_BROADCAST_DEVICEINTERFACE_W filter{};
      filter.dbcc_size = sizeof filter;
      filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
      filter.dbcc_classguid = kComPortInterface;
      registration = RegisterDeviceNotificationW(made, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    {
      std::lock_guard lock(mutex);
      window = made;
      if (!made) error = "could not make the window for device notifications (error " + std::to_string(GetLastError()) + ")";
      ready = true;
    }
    started.notify_all();
    if (!made) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (registration) UnregisterDeviceNotification(registration);
  }
};

DeviceNotifications::DeviceNotifications(std::function<void()> onDeviceChange) : thread_(std::make_unique<Thread>()) {
  thread_->onDeviceChange = std::move(onDeviceChange);
  thread_->thread = std::thread([self = thread_.get()] { self->Run(); });
  std::unique_lock lock(thread_->mutex);
  thread_->started.wait(lock, [this] { return thread_->ready; });
}

DeviceNotifications::~DeviceNotifications() {
  if (thread_->window) PostMessageW(thread_->window, WM_CLOSE, 0, 0);
  thread_->thread.join();
}

bool DeviceNotifications::Active() const { return thread_->window != nullptr; }
const std::string& DeviceNotifications::Error() const { return thread_->error; }
void* DeviceNotifications::Window() const { return thread_->window; }

}  // namespace orvo
