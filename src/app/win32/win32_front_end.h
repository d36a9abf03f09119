#pragma once
// The Win32 front end of the driver, for Windows builds without Qt: the main thread's
// message loop, the tray icon with its menu, message boxes; headless, the terminal in
// their place, as on Linux. The sibling of the Qt front end; the wiring is DriverCore's.
#include <atomic>
#include <memory>

#include "app/driver_front_end.h"
#include "app/terminal_messages.h"
#include "app/win32/message_boxes.h"
#include "app/win32/message_loop.h"

namespace orvo {

class TerminalNotifier;
class Win32Tray;

class Win32FrontEnd : public DriverFrontEnd {
 public:
  explicit Win32FrontEnd(bool headless);
  ~Win32FrontEnd() override;

  // Main thread: runs the message loop until Exit.
  void Run();
  // Main thread: the loop ends; DriverCore::Shutdown follows.
  void Exit();
  // Main thread, on Ctrl+C or the console closing: standing boxes are closed, start-up
  // (when under way) ends at its next step, and the loop ends.
  void ExitOnSignal(DriverCore& core);

  // DriverFrontEnd.
  void Post(std::function<void()> task) override;
  MessageService& Messages() override;
  void Tell(const std::string& line) override;
  void ReportDispatch(const std::string& line) override;
  // RemoveTrayIcon is left alone: the icon is replaced in place by the next
  // ShowConnectionState; taking it away in between would only make it flicker.
  void ShowConnectionState(ConnectionState state) override;
  ConnectionState ShownState() const override;
  void Repeat(std::chrono::milliseconds period, std::function<void()> task) override;
  EditorNotifier& AttachEditor(DriverCore& core) override;
  bool ShowTrayIcon() override;
  void ShowMidiState(const std::string& problem, const std::string& absentPorts) override;
  void ReleaseWaits() override;

 private:
  const bool headless_;
  MessageLoop loop_;
  TerminalMessages terminalMessages_;
  MessageBoxes boxes_;
  std::unique_ptr<TerminalNotifier> terminal_;  // headless
  std::unique_ptr<EditorNotifier> noEditor_;    // with the tray: no editor in this build
  std::unique_ptr<Win32Tray> tray_;
  std::atomic<ConnectionState> headlessState_{ConnectionState::kDisconnected};
};

}  // namespace orvo
