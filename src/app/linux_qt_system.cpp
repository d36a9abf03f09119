#include "app/linux_qt_system.h"

#include "app/simulated_surface_session.h"
#include "os/x11/window_list.h"

namespace orvo {

std::vector<RunningProgram> LinuxQtSystem::RunningPrograms() {
  std::vector<RunningProgram> programs;
  for (const ListedWindow& window : ListProgramWindows())
    programs.push_back({QString::fromStdString(window.title), QString::fromLocal8Bit(window.executable.c_str())});
  return programs;
}

void LinuxQtSystem::EditorWindow(unsigned long window, const std::string& title, bool shown) {
  platform_.Routes().EditorWindow(window, title, shown);
}

std::unique_ptr<SurfaceSimulation> LinuxQtSystem::MakeSimulation(LineSink say) {
  return std::make_unique<SimulatedSurfaceSession>(std::move(say));
}

}  // namespace orvo
