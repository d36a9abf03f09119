#pragma once
// What Windows gives the driver's wiring: the settings under the roaming application data
// folder, the Keyset files saved, read and watched with the Windows calls, the surface's
// bridge as a COM port with its device notifications, MIDI on WinMM, and the foreground
// window's program with keystrokes through SendInput.
#include <memory>

#include "app/driver_platform.h"

namespace orvo {

class DeviceNotifications;
class SendInputInjector;
class WindowsForeground;

class WindowsDriverPlatform : public DriverPlatform {
 public:
  WindowsDriverPlatform();
  ~WindowsDriverPlatform() override;

  uint32_t ProcessId() const override;
  std::filesystem::path DefaultSettingsDirectory() override;
  std::unique_ptr<FileSaver> MakeFileSaver() override;
  std::unique_ptr<SmallFileReader> MakeFileReader() override;
  std::unique_ptr<DirectoryWatch> MakeDirectoryWatch() override;

  std::unique_ptr<Bridge> MakeBridge(const std::string& devicePath, std::function<void()> deviceGone) override;
  void QuietBridge(Bridge& bridge) override;
  void WatchDevices(std::function<void()> changed) override;
  void StopWatchingDevices() override;

  // WinMM is the one MIDI system here: `api` empty or "winmm"; any other is told through
  // `tell` as not available, and WinMM is used all the same.
  std::unique_ptr<MidiSystem> MakeMidiSystem(const std::string& api, LineSink tell) override;
  // WinMM is always there: empty.
  std::string MidiProblem(MidiSystem& midi) override;

  std::string OpenDesktop(LineSink say) override;
  ForegroundQuery& Foreground() override;
  // The foreground window's query, where the editor's windows are told; null while the
  // desktop is not open.
  WindowsForeground* ForegroundWindows() { return foreground_.get(); }
  KeyInjector& Keys() override;
  std::string KeysOff() override;
  void CloseDesktop() override;

 private:
  std::unique_ptr<DeviceNotifications> devices_;
  std::unique_ptr<WindowsForeground> foreground_;
  std::unique_ptr<SendInputInjector> keys_;
};

}  // namespace orvo
