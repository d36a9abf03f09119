#pragma once
// --simulate: the simulated surface in this process, on a pty the driver connects to as
// to the real one. Its line language is read from standard input ("press PLAY",
// "fader 3 64", "unplug", ...); what the driver sends it is printed as lines. Main thread.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/qt_system.h"

class QSocketNotifier;

namespace orvo {
namespace sim {
class SimSurface;
}
class SimulatedSurfaceWindow;

class SimulatedSurfaceSession : public QObject, public SurfaceSimulation {
  Q_OBJECT
 public:
  // `say` prints one line; it is called on the surface's own thread for host output.
  explicit SimulatedSurfaceSession(std::function<void(const std::string&)> say);
  ~SimulatedSurfaceSession() override;

  bool Plugged() const override;
  std::string Error() const override;
  // The path the driver opens: a symlink that follows the pty across unplug and replug.
  std::string DevicePath() const override;
  // Runs one command line; the reply, if any, goes through `say`.
  void RunCommand(const std::string& line);
  // Reads commands from standard input until it ends.
  void ReadStandardInput() override;
  // Shows the "Simulated surface" window to play it with the mouse (needs a display);
  // the commands on standard input keep working beside it.
  void ShowWindow() override;
  SimulatedSurfaceWindow* Window() override { return window_.get(); }
  sim::SimSurface& Surface() { return *surface_; }

 private:
  void OnInput();
  std::function<void(const std::string&)> say_;
  std::string linkPath_;
  std::unique_ptr<sim::SimSurface> surface_;
  std::unique_ptr<SimulatedSurfaceWindow> window_;  // goes before the surface
  std::unique_ptr<QSocketNotifier> input_;
  std::string pending_;
};

}  // namespace orvo
