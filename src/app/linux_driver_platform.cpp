#include "app/linux_driver_platform.h"

#include <unistd.h>

#include "app/settings_directory.h"
#include "os/linux/directory_watch.h"
#include "os/linux/file_saver.h"
#include "os/linux/hotplug.h"
#include "os/linux/midi.h"
#include "os/linux/serial.h"
#include "os/linux/small_file_reader.h"

namespace orvo {

LinuxDriverPlatform::LinuxDriverPlatform() = default;
LinuxDriverPlatform::~LinuxDriverPlatform() = default;

uint32_t LinuxDriverPlatform::ProcessId() const { return static_cast<uint32_t>(getpid()); }

std::filesystem::path LinuxDriverPlatform::DefaultSettingsDirectory() { return ChooseSettingsDirectory(); }

std::unique_ptr<FileSaver> LinuxDriverPlatform::MakeFileSaver() { return std::make_unique<LinuxFileSaver>(); }

std::unique_ptr<SmallFileReader> LinuxDriverPlatform::MakeFileReader() {
  return std::make_unique<LinuxSmallFileReader>();
}

std::unique_ptr<DirectoryWatch> LinuxDriverPlatform::MakeDirectoryWatch() {
  return std::make_unique<InotifyDirectoryWatch>();
}

std::unique_ptr<Bridge> LinuxDriverPlatform::MakeBridge(const std::string& devicePath,
                                                         std::function<void()> deviceGone) {
  auto bridge = std::make_unique<TtyBridge>(TtyBridgeOptions{});
  bridge->SetDeviceChangeCallback(std::move(deviceGone));
  if (!devicePath.empty()) bridge->SetDevicePath(devicePath);
  return bridge;
}

void LinuxDriverPlatform::QuietBridge(Bridge& bridge) { static_cast<TtyBridge&>(bridge).SetDeviceChangeCallback({}); }

void LinuxDriverPlatform::WatchDevices(std::function<void()> changed) {
  udev_ = std::make_unique<UdevMonitor>(std::move(changed));
}

void LinuxDriverPlatform::StopWatchingDevices() { udev_.reset(); }

std::unique_ptr<MidiSystem> LinuxDriverPlatform::MakeMidiSystem(const std::string& api, LineSink tell) {
  LinuxMidiOptions options;
  // The command line has checked the name.
  if (!api.empty()) options.api = ParseMidiApi(api).value_or(MidiApiChoice::kAuto);
  options.tellDropped = tell;
  options.tellState = std::move(tell);
  return LinuxMidiSystem::Create(options, nullptr);
}

std::string LinuxDriverPlatform::MidiProblem(MidiSystem& midi) {
  // Every MIDI system of this platform is one it made.
  return static_cast<LinuxMidiSystem&>(midi).Problem();
}

std::string LinuxDriverPlatform::OpenDesktop(LineSink say) {
  routes_ = ChooseDesktopRoutes(std::move(say));
  return routes_.startLine;
}

ForegroundQuery& LinuxDriverPlatform::Foreground() { return *routes_.foreground; }

KeyInjector& LinuxDriverPlatform::Keys() { return *routes_.keys; }

std::string LinuxDriverPlatform::KeysOff() { return routes_.keysOff ? routes_.keysOff() : std::string(); }

void LinuxDriverPlatform::CloseDesktop() {
  routes_.keys.reset();  // before the focus it routes by
  routes_.foreground.reset();
}

}  // namespace orvo
