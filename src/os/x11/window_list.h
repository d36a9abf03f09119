#pragma once
// The programs that have windows on an X11 desktop, as the window manager lists them
// (_NET_CLIENT_LIST): each window's title and its process's executable. For "&New Keyset",
// which offers them beside the file chooser. Opens a connection of its own per call.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

struct ListedWindow {
  std::string title;       // _NET_WM_NAME, else WM_NAME; may be empty
  uint32_t processId = 0;  // _NET_WM_PID
  std::string executable;  // /proc/<pid>/exe; empty when hidden
};

// Empty without a window manager that lists its clients, or without a display.
std::vector<ListedWindow> ListProgramWindows(const char* displayName = nullptr);

}  // namespace orvo
