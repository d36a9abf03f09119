#include "app/windows_qt_system.h"

#include "os/windows/focus.h"
#include "os/windows/window_list.h"

namespace orvo {

std::vector<RunningProgram> WindowsQtSystem::RunningPrograms() {
  std::vector<RunningProgram> programs;
  for (const ListedWindow& window : ListProgramWindows())
    programs.push_back({QString::fromStdString(window.title), QString::fromStdString(window.executable)});
  return programs;
}

void WindowsQtSystem::EditorWindow(unsigned long window, const std::string& title, bool shown) {
  WindowsForeground* foreground = platform_.ForegroundWindows();
  if (!foreground) return;
  if (shown)
    foreground->EditorWindows().Add(window, title);
  else
    foreground->EditorWindows().Remove(window);
}

}  // namespace orvo
