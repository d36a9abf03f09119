#include "app/windows_driver_platform.h"

#include <windows.h>
#undef OpenDesktop  // the platform's call, not the Windows one

#include <cstdio>

#include "app/settings_directory.h"
#include "os/windows/directory_watch.h"
#include "os/windows/file_saver.h"
#include "os/windows/focus.h"
#include "os/windows/hotplug.h"
#include "os/windows/keys.h"
#include "os/windows/midi.h"
#include "os/windows/serial.h"
#include "os/windows/settings_directory.h"
#include "os/windows/small_file_reader.h"

namespace orvo {

WindowsDriverPlatform::WindowsDriverPlatform() = default;
WindowsDriverPlatform::~WindowsDriverPlatform() = default;

uint32_t WindowsDriverPlatform::ProcessId() const { return GetCurrentProcessId(); }

std::filesystem::path WindowsDriverPlatform::DefaultSettingsDirectory() {
  return ChooseSettingsDirectory(WindowsConfigHome());
}

std::unique_ptr<FileSaver> WindowsDriverPlatform::MakeFileSaver() { return std::make_unique<WindowsFileSaver>(); }

std::unique_ptr<SmallFileReader> WindowsDriverPlatform::MakeFileReader() {
  return std::make_unique<WindowsSmallFileReader>();
}

std::unique_ptr<DirectoryWatch> WindowsDriverPlatform::MakeDirectoryWatch() {
  return std::make_unique<WindowsDirectoryWatch>();
}

std::unique_ptr<Bridge> WindowsDriverPlatform::MakeBridge(const std::string& devicePath,
                                                          std::function<void()> deviceGone) {
  auto bridge = std::make_unique<ComBridge>();
  if (!devicePath.empty()) bridge->SetDevicePath(devicePath);
  bridge->SetDeviceChangeCallback(std::move(deviceGone));
  return bridge;
}

void WindowsDriverPlatform::QuietBridge(Bridge& bridge) {
  static_cast<ComBridge&>(bridge).SetDeviceChangeCallback({});
}

void WindowsDriverPlatform::WatchDevices(std::function<void()> changed) {
  devices_ = std::make_unique<DeviceNotifications>(std::move(changed));
  if (!devices_->Active())
    std::fprintf(stderr, "orvo: device changes are not followed: %s\n", devices_->Error().c_str());
}

void WindowsDriverPlatform::StopWatchingDevices() { devices_.reset(); }

std::unique_ptr<MidiSystem> WindowsDriverPlatform::MakeMidiSystem(const std::string& api, LineSink tell) {
  if (!api.empty() && api != "winmm" && tell)
    tell("the MIDI system \"" + api + "\" is not available on Windows: WinMM is used");
  return CreateWindowsMidiSystem();
}

std::string WindowsDriverPlatform::MidiProblem(MidiSystem&) { return {}; }

std::string WindowsDriverPlatform::OpenDesktop(LineSink) {
  foreground_ = std::make_unique<WindowsForeground>();
  keys_ = std::make_unique<SendInputInjector>();
  return "Focus and keystrokes: the foreground window, keys through SendInput";
}

ForegroundQuery& WindowsDriverPlatform::Foreground() { return *foreground_; }

KeyInjector& WindowsDriverPlatform::Keys() { return *keys_; }

std::string WindowsDriverPlatform::KeysOff() { return {}; }

void WindowsDriverPlatform::CloseDesktop() {
  keys_.reset();
  foreground_.reset();
}

}  // namespace orvo
