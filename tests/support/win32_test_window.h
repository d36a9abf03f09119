#pragma once
// A plain Win32 window of the test's own, brought to the front, that records the key
// messages it receives. The test thread pumps its messages.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

namespace orvo::test {

struct KeyMessage {
  UINT message;   // WM_KEYDOWN, WM_KEYUP, WM_CHAR
  WPARAM wParam;  // the virtual-key code, or the character
  unsigned scanCode;
  bool extended;
};

class Win32TestWindow {
 public:
  Win32TestWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Win32TestWindow::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrvoTestWindow";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"OrvoTestWindow", L"Orvo test window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                              100, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetForegroundWindow(window_);
  }
  ~Win32TestWindow() { DestroyWindow(window_); }
  Win32TestWindow(const Win32TestWindow&) = delete;
  Win32TestWindow& operator=(const Win32TestWindow&) = delete;

  HWND Handle() const { return window_; }
  const std::vector<KeyMessage>& Keys() const { return keys_; }

  // Pumps this thread's messages until `done` or the time is up; the last `done`.
  static bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      Sleep(5);
    }
    return done();
  }
  // Whether a display is there to put windows in front on (Wine draws through X11).
  bool InFront() const {
    return PumpUntil([this] { return GetForegroundWindow() == window_; });
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32TestWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR))
      self->keys_.push_back({message, wParam, static_cast<unsigned>((lParam >> 16) & 0xFF), ((lParam >> 24) & 1) != 0});
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  std::vector<KeyMessage> keys_;
};

}  // namespace orvo::test
