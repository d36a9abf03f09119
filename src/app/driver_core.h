#pragma once
// The driver's wiring, the same under every front end: builds every part at start-up in a
// fixed order, and takes everything down at exit with every thread woken and joined before
// what it uses is freed. It knows the operating system only through DriverPlatform and the
// screen only through DriverFrontEnd. Lives on the main thread.
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "link/link_hooks.h"
#include "platform/manual_reset_event.h"

namespace orvo {

class Bridge;
class Dispatch;
class DispatchReportPrinter;
class DriverFrontEnd;
class DriverPlatform;
class EditorNotifier;
class FileSaver;
class FocusFinder;
class KeysetFileFollower;
class KeysetFiles;
class MessageDecoder;
class MidiPorts;
class MidiSystem;
class ReadLoop;
class SerialLink;
class SmallFileReader;
class SysExPool;
struct EngineContext;

class DriverCore : public LinkHooks {
 public:
  DriverCore(Options options, DriverPlatform& platform, DriverFrontEnd& frontEnd);
  ~DriverCore() override;
  DriverCore(const DriverCore&) = delete;
  DriverCore& operator=(const DriverCore&) = delete;

  // The start-up steps; false when the program must end (the reason has been shown).
  bool Start();
  // The exit steps; safe after a failed or partial Start, and more than once.
  void Shutdown();
  // Start-up, when under way, ends at its next step (a signal came). Main thread.
  void RequestQuit() { quitRequested_ = true; }
  bool QuitRequested() const { return quitRequested_; }

  // Main thread: the connection check (at start and on every device change).
  void CheckConnection();
  // Main thread: the tray, the editor and the terminal told why MIDI does not flow, if it
  // does not: no MIDI system, or a Keyset's port that is not there.
  void RefreshMidiState();

  // LinkHooks, main thread.
  void CreateFocusState() override;
  void DestroyFocusState() override;
  void ResumeFocusFinder() override;
  void PauseFocusFinder() override;
  void RemoveTrayIcon() override;
  void ShowConnectionState(ConnectionState state) override;
  ConnectionState ShownState() const override;

  // The parts, for the front end's editor; valid from the step that makes them to Shutdown.
  const Options& StartOptions() const { return options_; }
  const std::filesystem::path& SettingsDirectory() const { return settingsDirectory_; }
  EngineContext& Engine() { return *engine_; }
  KeysetFiles& Files() { return *files_; }
  SerialLink& Link() { return *link_; }
  MidiSystem* Midi() { return midi_.get(); }
  MidiPorts* Ports() { return ports_.get(); }
  DriverPlatform& Platform() { return platform_; }

 private:
  bool StartPlatform();
  void StartDispatchReports();
  void StopReadThread();

  const Options options_;
  DriverPlatform& platform_;
  DriverFrontEnd& front_;
  std::filesystem::path settingsDirectory_;
  std::unique_ptr<EngineContext> engine_;
  std::unique_ptr<FileSaver> saver_;
  std::unique_ptr<SmallFileReader> fileReader_;
  std::unique_ptr<KeysetFiles> files_;
  ManualResetEvent unitConnection_;
  std::unique_ptr<Bridge> bridge_;
  std::unique_ptr<MidiSystem> midi_;
  bool desktopOpen_ = false;
  std::string midiTrouble_;  // what RefreshMidiState said last
  std::unique_ptr<SysExPool> pool_;
  std::unique_ptr<SerialLink> link_;
  std::unique_ptr<Dispatch> dispatch_;
  std::unique_ptr<DispatchReportPrinter> reports_;
  std::unique_ptr<MessageDecoder> decoder_;
  std::unique_ptr<ReadLoop> reader_;
  std::atomic<bool> readStop_{false};
  std::thread readThread_;
  std::unique_ptr<FocusFinder> focusFinder_;
  std::unique_ptr<MidiPorts> ports_;
  std::unique_ptr<KeysetFileFollower> follower_;
  bool watchingDevices_ = false;
  bool started_ = false;
  bool shutDown_ = false;
  bool quitRequested_ = false;
};

}  // namespace orvo
