#pragma once
// sway's IPC socket, asked which window has the focus: unlike the Wayland protocols it
// names the window's process.
#include <cstdint>
#include <string>

namespace orvo {

struct SwayFocusedWindow {
  bool found = false;  // false: no window has the focus, or sway could not be asked
  uint32_t processId = 0;
  std::string appId;  // empty for X11 programs, which have a class instead
  std::string title;
};

// The focused window of a `get_tree` answer (sway's JSON layout tree): the node marked
// focused, when it is a window (a focused workspace means no window has the focus).
SwayFocusedWindow FocusedWindowInTree(const std::string& json);

class SwayIpc {
 public:
  // Connects to `socketPath` ($SWAYSOCK when null); Connected() says whether it could.
  explicit SwayIpc(const char* socketPath = nullptr);
  ~SwayIpc();
  SwayIpc(const SwayIpc&) = delete;
  SwayIpc& operator=(const SwayIpc&) = delete;

  bool Connected() const { return fd_ >= 0; }
  // One `get_tree` round trip (a few milliseconds). One caller at a time.
  SwayFocusedWindow FocusedWindow();

 private:
  bool Request(uint32_t type, std::string* reply);

  int fd_ = -1;
};

}  // namespace orvo
