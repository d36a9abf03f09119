#pragma once
// What the system under the Qt front end gives it: the driver's platform, and what the
// tray and the editor need beside it. Linux and Windows each make one in their main.
#include <memory>
#include <string>
#include <vector>

#include "app/driver_platform.h"
#include "editor/new_keyset_dialog.h"

namespace orvo {

class SimulatedSurfaceWindow;

// The simulated surface in place of hardware, where the system has one.
class SurfaceSimulation {
 public:
  virtual ~SurfaceSimulation() = default;
  virtual bool Plugged() const = 0;
  virtual std::string Error() const = 0;
  // The path the driver opens for the surface.
  virtual std::string DevicePath() const = 0;
  // Commands from standard input, until it ends.
  virtual void ReadStandardInput() = 0;
  // The window to play it with the mouse; null until shown.
  virtual void ShowWindow() = 0;
  virtual SimulatedSurfaceWindow* Window() = 0;
};

class QtSystem {
 public:
  virtual ~QtSystem() = default;
  virtual DriverPlatform& Platform() = 0;
  // The programs with a window, for a new Keyset; empty where they cannot be listed.
  virtual std::vector<RunningProgram> RunningPrograms() = 0;
  // The editor's windows as they come and go, for the focus rules. GUI thread, once the
  // platform's desktop is open.
  virtual void EditorWindow(unsigned long window, const std::string& title, bool shown) = 0;
  // The simulated surface; null where the system has none. `say` prints one line, on
  // the surface's own thread.
  virtual std::unique_ptr<SurfaceSimulation> MakeSimulation(LineSink say) = 0;
};

}  // namespace orvo
