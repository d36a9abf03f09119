#pragma once
// The Qt front end on Windows: the Windows platform, the editor's windows told to the
// foreground window's query, the programs with a window listed for a new Keyset. No
// simulated surface: it lives on a pty.
#include "app/qt_system.h"
#include "app/windows_driver_platform.h"

namespace orvo {

class WindowsQtSystem : public QtSystem {
 public:
  DriverPlatform& Platform() override { return platform_; }
  WindowsDriverPlatform& Windows() { return platform_; }
  std::vector<RunningProgram> RunningPrograms() override;
  void EditorWindow(unsigned long window, const std::string& title, bool shown) override;
  std::unique_ptr<SurfaceSimulation> MakeSimulation(LineSink) override { return nullptr; }

 private:
  WindowsDriverPlatform platform_;
};

}  // namespace orvo
