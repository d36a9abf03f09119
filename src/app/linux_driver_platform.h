#pragma once
// What Linux gives the driver: the settings under the XDG config home, files saved by
// rename and watched with inotify, the bridge as a tty found through sysfs with udev's
// device notifications, JACK or the ALSA sequencer, and the desktop's routes (X11 or a
// Wayland compositor's) for the focus and the keystrokes.
#include <memory>

#include "app/desktop_routes.h"
#include "app/driver_platform.h"

namespace orvo {

class LinuxMidiSystem;
class UdevMonitor;

class LinuxDriverPlatform : public DriverPlatform {
 public:
  LinuxDriverPlatform();
  ~LinuxDriverPlatform() override;

  uint32_t ProcessId() const override;
  std::filesystem::path DefaultSettingsDirectory() override;
  std::unique_ptr<FileSaver> MakeFileSaver() override;
  std::unique_ptr<SmallFileReader> MakeFileReader() override;
  std::unique_ptr<DirectoryWatch> MakeDirectoryWatch() override;
  std::unique_ptr<Bridge> MakeBridge(const std::string& devicePath, std::function<void()> deviceGone) override;
  void QuietBridge(Bridge& bridge) override;
  void WatchDevices(std::function<void()> changed) override;
  void StopWatchingDevices() override;
  std::unique_ptr<MidiSystem> MakeMidiSystem(const std::string& api, LineSink tell) override;
  std::string MidiProblem(MidiSystem& midi) override;
  std::string OpenDesktop(LineSink say) override;
  ForegroundQuery& Foreground() override;
  KeyInjector& Keys() override;
  std::string KeysOff() override;
  void CloseDesktop() override;

  // The desktop's routes, for the editor's windows and the running programs. Main thread.
  DesktopRoutes& Routes() { return routes_; }

 private:
  std::unique_ptr<UdevMonitor> udev_;
  DesktopRoutes routes_;
};

}  // namespace orvo
