#include "app/editor_session.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <vector>

#include "app/gui_thread_calls.h"
#include "app/tray_icons.h"
#include "app/window_placement.h"
#include "editor/monitor_edit.h"
#include "mapping/engine_context.h"

namespace orvo {

EditorSession::EditorSession(EditorServices services, GuiThreadCalls& gui,
                             WindowReport windows)
    : services_(std::move(services)),
      gui_(gui),
      windows_(std::move(windows)),
      // Handled after the event: the widget is not deleted under Qt's own handling of it.
      destroyedWindows_([this](unsigned long window) {
        QMetaObject::invokeMethod(this, [this, window] { WindowDestroyed(window); }, Qt::QueuedConnection);
      }) {
  qApp->installEventFilter(this);
}

EditorSession::~EditorSession() {
  qApp->removeEventFilter(this);
  End();
}

void EditorSession::Start() {
  if (dialog_) {
    dialog_->showNormal();
    dialog_->raise();
    dialog_->activateWindow();
    return;
  }
  auto* dialog = new EditorDialog(services_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowIcon(ConnectedIcon());
  dialog_ = dialog;
  // finished comes after the Keysets were saved; the dialog deletes itself when it closes.
  connect(dialog, &QDialog::finished, this, [this] { running_.store(false); });
  connect(dialog, &QObject::destroyed, this, [this] { running_.store(false); });
  running_.store(true);
  dialog->ShowConnection(connected_);
  dialog->ShowMidiState(midiProblem_, absentPorts_);
  PlaceEditorAndCompanion(*dialog, companion_.data());
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void EditorSession::End() {
  if (dialog_) {
    dialog_->done(QDialog::Rejected);
    delete dialog_.data();
  }
  running_.store(false);
}

void EditorSession::ShowConnection(bool connected) {
  connected_ = connected;
  if (dialog_) dialog_->ShowConnection(connected);
}

void EditorSession::ShowMidiState(const std::string& problem, const std::string& absentPorts) {
  midiProblem_ = problem;
  absentPorts_ = absentPorts;
  if (dialog_) dialog_->ShowMidiState(problem, absentPorts);
}

// Its window is gone, but Qt still takes the dialog for shown: "&Start Editor" would only
// raise what nobody can see. Ending it saves every Keyset, as every way of closing does.
void EditorSession::WindowDestroyed(unsigned long window) {
  if (dialog_ && dialog_->internalWinId() == window) End();
}

// The editor's windows and the dialogs it opens count as the editor for the focus finder.
bool EditorSession::BelongsToEditor(const QObject* object) const {
  for (const QObject* at = object; at; at = at->parent())
    if (at == dialog_.data()) return true;
  return false;
}

// GUI thread: top-level windows of the editor as they are shown, retitled and hidden, and
// clicks on the companion, which the window manager raises: the editor goes back over it
// where they overlap.
bool EditorSession::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseButtonPress && companion_ && dialog_ && dialog_->isVisible() && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->window() == companion_.data() &&
      dialog_->frameGeometry().intersects(companion_->frameGeometry()))
    QMetaObject::invokeMethod(dialog_.data(), [dialog = dialog_] {
      if (dialog) dialog->raise();
    }, Qt::QueuedConnection);
  if ((type == QEvent::Show || type == QEvent::Hide || type == QEvent::WindowTitleChange) && watched->isWidgetType() &&
      windows_) {
    auto* widget = static_cast<QWidget*>(watched);
    const bool shown = type == QEvent::Show || (type == QEvent::WindowTitleChange && widget->isVisible());
    if (widget->isWindow() && dialog_ && BelongsToEditor(widget) && (shown || type == QEvent::Hide))
      windows_(widget->winId(), widget->windowTitle().toStdString(), shown);
  }
  return QObject::eventFilter(watched, event);
}

// A call queued before the editor closed finds it saved and on its way out: it must not
// light lamps or make mappings that nothing will save or darken any more.
bool EditorSession::Open() const { return dialog_ && running_.load(); }

// Read thread: the editor has the focus; the surface waits until the editor has handled it.
void EditorSession::SendControlEvent(const ControlDescriptor* row, uint32_t message) {
  if (!running_.load()) return;
  gui_.CallAndWait([this, row, message] {
    if (Open()) dialog_->EditorShortMessage(row, nullptr, message);
  });
}

// Read thread.
void EditorSession::PostControlEvent(const ControlDescriptor* row, uint32_t message) {
  if (!running_.load()) return;
  gui_.Post([this, row, message] {
    if (Open()) dialog_->EditorShortMessage(row, nullptr, message);
  });
}

// MIDI delivery thread.
void EditorSession::PostInputMessage(const Keyset* keyset, uint32_t message) {
  if (!running_.load()) return;
  gui_.Post([this, keyset, message] {
    if (Open()) dialog_->EditorShortMessage(nullptr, keyset, message);
  });
}

// Read thread or MIDI delivery thread; the bytes are copied here, the buffer goes on.
void EditorSession::PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) {
  if (!running_.load()) return;
  gui_.Post([this, keyset, copy = std::vector<uint8_t>(bytes.begin(), bytes.end()), flags] {
    if (Open()) dialog_->EditorLongMessage(keyset, copy, flags);
  });
}

void EditorSession::SayInMonitor(const std::string& line) {
  if (Open()) dialog_->Monitor()->WriteLine(QString::fromStdString(line));
}

bool EditorSession::AskTakeChangedFile(const std::string& name) {
  if (!Open()) return true;
  QMessageBox box(QMessageBox::Question, "Orvo",
                  QString::fromStdString("The file of the Keyset " + name +
                                         " was changed on disk, and the editor holds unsaved changes to it."),
                  QMessageBox::NoButton, dialog_.data());
  QPushButton* takeFile = box.addButton("Take the file's version", QMessageBox::AcceptRole);
  box.addButton("Keep mine", QMessageBox::RejectRole);
  box.exec();
  return box.clickedButton() == takeFile;
}

// Focus finder thread. Null: the focus moved within this program, which keeps the Keyset
// on show; only the surface's mode in the title may have changed.
void EditorSession::ShowKeyset(const Keyset* keyset) {
  if (!running_.load()) return;
  gui_.Post([this, keyset] {
    if (!Open()) return;
    if (keyset)
      dialog_->ShowKeyset(services_.engine.Mapper.Lookup(keyset->Name));
    else
      dialog_->RefreshTitle();
  });
}

}  // namespace orvo
