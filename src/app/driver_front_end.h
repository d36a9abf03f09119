#pragma once
// What the driver's wiring asks of the front end that shows it: the Qt tray and editor, the
// Win32 tray, or the terminal. Every call but Post is made on the main thread.
#include <chrono>
#include <functional>
#include <string>

#include "link/link_hooks.h"
#include "platform/main_thread_poster.h"

namespace orvo {

class DriverCore;
class EditorNotifier;
class Keyset;
class MessageService;

class DriverFrontEnd : public MainThreadPoster {
 public:
  virtual MessageService& Messages() = 0;
  // A line for the user: the terminal (standard error with a tray), and the editor's monitor.
  virtual void Tell(const std::string& line) = 0;
  // A line for the editor's monitor only (it has been said on standard error).
  virtual void ShowInMonitor(const std::string&) {}
  // What became of a control event (headless and simulated runs). The printer's thread.
  virtual void ReportDispatch(const std::string& line) = 0;
  // The tray's part of the link's hooks.
  virtual void RemoveTrayIcon() {}
  virtual void ShowConnectionState(ConnectionState state) = 0;
  virtual ConnectionState ShownState() const = 0;
  // Runs `task` on the main thread every `period`, until the event loop ends.
  virtual void Repeat(std::chrono::milliseconds period, std::function<void()> task) = 0;

  // The start-up's steps that belong to the front end, in this order.
  // The link is made: where the engine's notifications go from now on (the editor, or the
  // terminal in its place).
  virtual EditorNotifier& AttachEditor(DriverCore& core) = 0;
  // The tray icon; true when the tray ran the first connection check itself.
  virtual bool ShowTrayIcon() { return false; }
  // Every Keyset's MIDI ports are open.
  virtual void PortsOpen(DriverCore&) {}
  // A Keyset file changed on disk and was taken up (null: a Keyset was added).
  virtual void KeysetChanged(Keyset*) {}
  // Why MIDI does not flow (both empty: it does), looked at again and again.
  virtual void ShowMidiState(const std::string& /*problem*/, const std::string& /*absentPorts*/) {}

  // The exit's steps that belong to the front end, in this order.
  // Before the threads are stopped: calls waiting for the main thread are released.
  virtual void ReleaseWaits() {}
  // The dispatch is gone: what uses the link, the ports and the Keysets goes now.
  virtual void DetachEditor() {}
};

}  // namespace orvo
