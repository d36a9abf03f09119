#pragma once
// The focused window on X11: the window manager's _NET_ACTIVE_WINDOW, or the input focus
// walked up to its client window when no window manager publishes one; its process from
// _NET_WM_PID, or from the X-Resource extension for clients that do not set it.
#include <atomic>
#include <cstdint>
#include <string>

#include "os/x11/x11_connection.h"
#include "platform/editor_window_set.h"
#include "platform/foreground_query.h"

namespace orvo {

struct X11ForegroundOptions {
  // False: ignore the window manager's _NET_ACTIVE_WINDOW and follow the input focus, as
  // without a window manager.
  bool useActiveWindowProperty = true;
};

class X11Foreground : public ForegroundQuery {
 public:
  // Opens its own connection to `displayName` ($DISPLAY when null).
  explicit X11Foreground(const char* displayName = nullptr, X11ForegroundOptions options = {});

  // Any thread.
  bool Available() override;
  std::string Why() override;
  // The focus finder thread (one caller at a time).
  ForegroundWindow Foreground() override;
  std::string ProcessBaseName(uint32_t processId) override;

  EditorWindowSet& EditorWindows() { return editorWindows_; }
  // The window the last Foreground() found (0: none). For diagnostics and tests.
  unsigned long LastWindow() const { return lastWindow_.load(std::memory_order_relaxed); }
  // Requests sent on its connection so far; each property read is one round trip. Same
  // thread as Foreground().
  unsigned long RequestsSent() const;

 private:
  unsigned long FocusedClientWindow();
  unsigned long InputFocusClientWindow();
  unsigned long ClientBelow(unsigned long window, int depth);
  bool HasWmState(unsigned long window);
  uint32_t WindowProcessId(unsigned long window);
  uint32_t ProcessIdFromServer(unsigned long window);

  X11Connection connection_;
  X11ForegroundOptions options_;
  std::string why_;
  unsigned long root_ = 0;
  unsigned long netActiveWindow_ = 0;
  unsigned long netWmPid_ = 0;
  unsigned long wmState_ = 0;
  bool haveXRes_ = false;
  uint32_t ownProcessId_ = 0;
  EditorWindowSet editorWindows_;
  std::atomic<unsigned long> lastWindow_{0};
};

}  // namespace orvo
