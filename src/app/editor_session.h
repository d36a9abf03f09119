#pragma once
// The running editor, at most one: "&Start Editor" opens it or brings it to the front;
// closing it (which saves every Keyset) ends the session. As the engine's EditorNotifier
// it carries the engine's notifications onto the GUI thread, with their data by value,
// and drops them while no editor runs.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <string>

#include "app/destroyed_window_filter.h"
#include "editor/editor_dialog.h"
#include "protocol/editor_notifier.h"

namespace orvo {

class GuiThreadCalls;

class EditorSession : public QObject, public EditorNotifier {
  Q_OBJECT
 public:
  // `windows(id, title, shown)`: the editor's top-level windows as they come and go (and
  // again, shown, when a title changes), so that the focus finder tells them apart from
  // the program's other windows. GUI thread.
  using WindowReport = std::function<void(unsigned long, const std::string&, bool)>;
  EditorSession(EditorServices services, GuiThreadCalls& gui, WindowReport windows);
  ~EditorSession() override;

  // GUI thread.
  void Start();
  // Closes a running editor (saving every Keyset) and waits for nothing. GUI thread.
  void End();
  EditorDialog* Dialog() const { return dialog_.data(); }
  // Whether the surface is connected, for the editor's title and its clicks. GUI thread.
  void ShowConnection(bool connected);
  // Why MIDI does not flow, for the editor's status line and "MIDI Ports". GUI thread.
  void ShowMidiState(const std::string& problem, const std::string& absentPorts);
  // A window destroyed from outside (the window manager): when it was the editor's, the
  // editor is ended as if closed, so that "&Start Editor" opens a new one. GUI thread.
  void WindowDestroyed(unsigned long window);
  // A line for the editor's "Raw Msgs" monitor, dropped while no editor is open. GUI thread.
  void SayInMonitor(const std::string& line);
  // Asks the user whether to take the changed file of the Keyset `name`, whose unsaved
  // changes in the editor would be dropped: true takes the file's version, false keeps
  // the editor's. True at once when no editor is open. GUI thread.
  bool AskTakeChangedFile(const std::string& name);

  // A window that opens beside the editor (the simulated surface's): the editor is placed
  // beside it, and a click on it never leaves it over the editor. GUI thread.
  void SetCompanion(QWidget* companion) { companion_ = companion; }

  // The port manager, made after the session (it tells the session about MIDI input).
  void SetMidiPorts(MidiPorts* ports) { services_.ports = ports; }

  // EditorNotifier: any thread but the GUI thread (the read thread, the focus finder, the
  // MIDI delivery thread).
  bool IsRunning() override { return running_.load(); }
  void SendControlEvent(const ControlDescriptor* row, uint32_t message) override;
  void PostControlEvent(const ControlDescriptor* row, uint32_t message) override;
  void PostInputMessage(const Keyset* keyset, uint32_t message) override;
  void PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) override;
  void ShowKeyset(const Keyset* keyset) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool BelongsToEditor(const QObject* object) const;
  bool Open() const;  // GUI thread

  EditorServices services_;
  GuiThreadCalls& gui_;
  WindowReport windows_;
  QPointer<EditorDialog> dialog_;
  QPointer<QWidget> companion_;
  std::atomic<bool> running_{false};
  bool connected_ = false;  // GUI thread
  std::string midiProblem_;  // GUI thread
  std::string absentPorts_;
  DestroyedWindowFilter destroyedWindows_;
};

}  // namespace orvo
