#pragma once
// What one operating system gives the driver's wiring: where the settings live, how files
// are saved, read and watched, the bridge to the surface and its device notifications, the
// MIDI system, and the desktop's focus and keystrokes. Each system's start-up makes one
// (LinuxDriverPlatform, WindowsDriverPlatform); the wiring never knows which.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace orvo {

class Bridge;
class DirectoryWatch;
class FileSaver;
class ForegroundQuery;
class KeyInjector;
class MidiSystem;
class SmallFileReader;

using LineSink = std::function<void(const std::string& line)>;

class DriverPlatform {
 public:
  virtual ~DriverPlatform() = default;

  virtual uint32_t ProcessId() const = 0;
  // The user's settings folder, made on the way.
  virtual std::filesystem::path DefaultSettingsDirectory() = 0;
  virtual std::unique_ptr<FileSaver> MakeFileSaver() = 0;
  virtual std::unique_ptr<SmallFileReader> MakeFileReader() = 0;
  virtual std::unique_ptr<DirectoryWatch> MakeDirectoryWatch() = 0;

  // The bridge; `devicePath` empty: the surface is found by its description. `deviceGone`
  // runs on the bridge's own threads when an open device goes: it only hands the news on.
  virtual std::unique_ptr<Bridge> MakeBridge(const std::string& devicePath, std::function<void()> deviceGone) = 0;
  // No deviceGone call is made after this returns.
  virtual void QuietBridge(Bridge& bridge) = 0;
  // Device arrivals and removals; `changed` runs on the notifications' own thread.
  virtual void WatchDevices(std::function<void()> changed) = 0;
  virtual void StopWatchingDevices() = 0;

  // The MIDI system; `api` as given on the command line (empty: the system's choice). `tell`
  // says a run of dropped messages or the server going and coming back, from its threads.
  virtual std::unique_ptr<MidiSystem> MakeMidiSystem(const std::string& api, LineSink tell) = 0;
  // Why no MIDI goes anywhere now; empty while the MIDI system is in use. Main thread.
  virtual std::string MidiProblem(MidiSystem& midi) = 0;

  // The focus and the keystrokes. Returns the line that names the route (empty: nothing to
  // say); `say` tells later changes from the routes' own threads.
  virtual std::string OpenDesktop(LineSink say) = 0;
  virtual ForegroundQuery& Foreground() = 0;
  virtual KeyInjector& Keys() = 0;
  // Why keystrokes are not typed now; empty: they are. Any thread.
  virtual std::string KeysOff() = 0;
  // The keystrokes go first, then the focus they are routed by.
  virtual void CloseDesktop() = 0;
};

}  // namespace orvo
