#include "os/windows/window_list.h"

#include <windows.h>

#include "os/windows/process_name.h"
#include "os/windows/wide_text.h"

namespace orvo {
namespace {

// A window the taskbar would show: visible, not owned by another window, not a tool window.
bool IsProgramWindow(HWND window) {
  if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return false;
  return !(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

BOOL CALLBACK Take(HWND window, LPARAM into) {
  if (!IsProgramWindow(window)) return TRUE;
  ListedWindow listed;
  wchar_t title[512] = {};
  listed.title = Narrowed(std::wstring_view(title, GetWindowTextW(window, title, 512)));
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  listed.processId = processId;
  listed.executable = ProcessImagePath(processId);
  reinterpret_cast<std::vector<ListedWindow>*>(into)->push_back(std::move(listed));
  return TRUE;
}

}  // namespace

std::vector<ListedWindow> ListProgramWindows() {
  std::vector<ListedWindow> windows;
  EnumWindows(&Take, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace orvo
