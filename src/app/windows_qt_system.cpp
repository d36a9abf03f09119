#include "app/windows_qt_system.h"

#include "os/windows/focus.h"

namespace orvo {

void WindowsQtSystem::EditorWindow(unsigned long window, const std::string& title, bool shown) {
  WindowsForeground* foreground = platform_.ForegroundWindows();
  if (!foreground) return;
  if (shown)
    foreground->EditorWindows().Add(window, title);
  else
    foreground->EditorWindows().Remove(window);
}

}  // namespace orvo
