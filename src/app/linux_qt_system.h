#pragma once
// The Qt front end on Linux: the Linux platform, the programs the X server lists, the
// editor's windows told to the desktop's focus route, the simulated surface on a pty.
#include "app/linux_driver_platform.h"
#include "app/qt_system.h"

namespace orvo {

class LinuxQtSystem : public QtSystem {
 public:
  DriverPlatform& Platform() override { return platform_; }
  std::vector<RunningProgram> RunningPrograms() override;
  void EditorWindow(unsigned long window, const std::string& title, bool shown) override;
  std::unique_ptr<SurfaceSimulation> MakeSimulation(LineSink say) override;

 private:
  LinuxDriverPlatform platform_;
};

}  // namespace orvo
