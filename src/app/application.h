#pragma once
// The Qt front end of the driver: the tray window (or the terminal, headless), the editor
// and the simulated surface's window, over the driver's wiring and the system's parts.
// Lives on the main (GUI) thread.
#include <QObject>
#include <atomic>
#include <memory>
#include <vector>

#include "app/command_line.h"
#include "app/driver_core.h"
#include "app/driver_front_end.h"
#include "app/qt_system.h"

namespace orvo {

class EditorSession;
class GuiThreadCalls;
class QtMessageService;
class TerminalNotifier;
class TrayWindow;

class Application : public QObject, public DriverFrontEnd {
  Q_OBJECT
 public:
  Application(Options options, QtSystem& system);
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

  // Main thread: runs the connection check (at start and on every device change).
  void CheckConnection() {
    if (core_) core_->CheckConnection();
  }
  const std::filesystem::path& SettingsDirectory() const { return core_->SettingsDirectory(); }
  EngineContext& Engine() { return core_->Engine(); }
  // The tray window; null when headless or before Start.
  const TrayWindow* Tray() const { return tray_.get(); }

  // DriverFrontEnd.
  void Post(std::function<void()> task) override;  // any thread
  MessageService& Messages() override;
  void Tell(const std::string& line) override;
  void ShowInMonitor(const std::string& line) override;
  void ReportDispatch(const std::string& line) override;  // the report printer's thread
  void RemoveTrayIcon() override;
  void ShowConnectionState(ConnectionState state) override;
  ConnectionState ShownState() const override;
  void Repeat(std::chrono::milliseconds period, std::function<void()> task) override;
  EditorNotifier& AttachEditor(DriverCore& core) override;
  bool ShowTrayIcon() override;
  void PortsOpen(DriverCore& core) override;
  void KeysetChanged(Keyset* keyset) override;
  void ShowMidiState(const std::string& problem, const std::string& absentPorts) override;
  void ReleaseWaits() override;
  void DetachEditor() override;

 private:
  // The simulated surface in place of hardware; false when it could not start.
  bool StartSimulation();
  void StartEditor();

  Options options_;
  QtSystem& system_;
  std::unique_ptr<GuiThreadCalls> gui_;
  std::unique_ptr<QtMessageService> messages_;
  std::unique_ptr<TerminalNotifier> terminal_;
  std::unique_ptr<TrayWindow> tray_;
  std::unique_ptr<SurfaceSimulation> simulation_;
  std::unique_ptr<EditorSession> editor_;  // after the link it writes lamps to; before dispatch
  std::vector<QObject*> repeats_;  // the timers of Repeat: they go with the wiring
  std::atomic<ConnectionState> headlessState_{ConnectionState::kDisconnected};
  std::unique_ptr<DriverCore> core_;  // made at start, with the simulated surface's device
  bool shutDown_ = false;
  bool quitRequested_ = false;
};

}  // namespace orvo
