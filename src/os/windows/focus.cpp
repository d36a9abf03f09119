#include "os/windows/focus.h"

#include <windows.h>

#include "os/windows/process_name.h"

namespace orvo {

WindowsForeground::WindowsForeground() : ownProcessId_(GetCurrentProcessId()) {}

bool WindowsForeground::Available() { return true; }

std::string WindowsForeground::Why() { return {}; }

ForegroundWindow WindowsForeground::Foreground() {
  ForegroundWindow result;
  const HWND window = GetForegroundWindow();
  if (!window) return result;
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(window, &processId) || processId == 0) return result;
  result.found = true;
  result.processId = processId;
  if (processId == ownProcessId_) {
    const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    result.ownerId = editorWindows_.Contains(id) ? kOwnerEditor : kOwnerOther;
  }
  return result;
}

std::string WindowsForeground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

}  // namespace orvo
