#pragma once
// The driver as a whole: builds every part at start-up in a fixed order, runs the main
// thread's event loop, and takes everything down again at exit with every thread woken
// and joined before what it uses is freed. Lives on the main (GUI) thread.
#include <QObject>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/command_line.h"
#include "app/desktop_routes.h"
#include "link/link_hooks.h"
#include "platform/main_thread_poster.h"
#include "platform/manual_reset_event.h"

class QSocketNotifier;

namespace orvo {

class Bridge;
class Dispatch;
class DispatchReportPrinter;
class EditorNotifier;
class EditorSession;
class FocusFinder;
class GuiThreadCalls;
class FileSaver;
class SmallFileReader;
class KeysetFiles;
class KeysetFileFollower;
class LinuxMidiSystem;
class MessageDecoder;
class ReadLoop;
class QtMessageService;
class MidiPorts;
class MidiSystem;
class SerialLink;
class SimulatedSurfaceSession;
class SysExPool;
class TerminalNotifier;
class TrayWindow;
class TtyBridge;
class UdevMonitor;
struct EngineContext;

class Application : public QObject, public LinkHooks, public MainThreadPoster {
  Q_OBJECT
 public:
  explicit Application(Options options);
  ~Application() override;

  // The start-up steps; false when the program must end (the reason has been shown).
  bool Start();
  // The exit steps; safe after a failed or partial Start, and more than once.
  void Shutdown();
  // Ends the event loop; Shutdown follows. Main thread.
  void Exit();
  // Exit on a signal: standing boxes are closed and no new one holds the exit; start-up,
  // when under way, ends early. Main thread.
  void ExitOnSignal();
  // Whether ExitOnSignal ran: the event loop must not be entered (again).
  bool QuitRequested() const { return quitRequested_; }

  // LinkHooks, main thread.
  void CreateFocusState() override;
  void DestroyFocusState() override;
  void ResumeFocusFinder() override;
  void PauseFocusFinder() override;
  void RemoveTrayIcon() override;
  void ShowConnectionState(ConnectionState state) override;
  ConnectionState ShownState() const override;
  // MainThreadPoster, any thread.
  void Post(std::function<void()> task) override;

  // Main thread: runs the connection check (at start and on every device change).
  void CheckConnection();
  const std::filesystem::path& SettingsDirectory() const { return settingsDirectory_; }
  EngineContext& Engine() { return *engine_; }
  // The tray window; null when headless or before Start.
  const TrayWindow* Tray() const { return tray_.get(); }

 private:
  bool StartPlatform();
  void StartDeviceNotifications();
  void StopReadThread();
  void StartEditor();
  void StartDispatchReports();
  // The tray, the editor and the terminal told why MIDI does not flow, if it does not:
  // no MIDI system, or a Keyset's port that is not there. Main thread, on a timer.
  void RefreshMidiState();

  const Options options_;
  std::filesystem::path settingsDirectory_;
  std::unique_ptr<GuiThreadCalls> gui_;
  std::unique_ptr<QtMessageService> messages_;
  std::unique_ptr<TerminalNotifier> terminal_;
  std::unique_ptr<TrayWindow> tray_;
  std::unique_ptr<EngineContext> engine_;
  std::unique_ptr<FileSaver> saver_;
  std::unique_ptr<SmallFileReader> fileReader_;
  std::unique_ptr<KeysetFiles> files_;
  ManualResetEvent unitConnection_;
  std::unique_ptr<SimulatedSurfaceSession> simulation_;
  std::unique_ptr<TtyBridge> bridge_;
  std::unique_ptr<MidiSystem> midi_;
  DesktopRoutes routes_;  // the focus and the keystrokes
  LinuxMidiSystem* linuxMidi_ = nullptr;  // midi_ itself: asked afresh why no MIDI goes anywhere
  std::string midiTrouble_;  // what RefreshMidiState said last, for the terminal
  std::unique_ptr<SysExPool> pool_;
  std::unique_ptr<SerialLink> link_;
  std::unique_ptr<EditorSession> editor_;  // after the link it writes lamps to; before dispatch
  std::unique_ptr<Dispatch> dispatch_;
  std::unique_ptr<DispatchReportPrinter> reports_;  // simulated and headless runs
  std::unique_ptr<MessageDecoder> decoder_;
  std::unique_ptr<ReadLoop> reader_;
  std::atomic<bool> readStop_{false};
  std::thread readThread_;
  std::unique_ptr<FocusFinder> focusFinder_;
  std::unique_ptr<MidiPorts> ports_;
  std::unique_ptr<KeysetFileFollower> follower_;
  std::unique_ptr<UdevMonitor> udev_;
  std::atomic<ConnectionState> headlessState_{ConnectionState::kDisconnected};
  bool shutDown_ = false;
  bool quitRequested_ = false;
};

}  // namespace orvo
