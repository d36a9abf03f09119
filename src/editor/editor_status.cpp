// The editor's status line and the layer buttons of its picture. GUI thread.
#include <QLabel>
#include <QTimer>

#include "editor/editor_dialog.h"
#include "editor/mapping_words.h"
#include "editor/surface_picture.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"

namespace orvo {
namespace {

// Bank and Shift flip on the read thread and the focus finder rewrites its record with no
// word to the editor, so the line reads their atomics this often.
constexpr int kStatusPollMs = 250;

}  // namespace

void EditorDialog::StartStatusLine() {
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] { RefreshStatus(); });
  timer->start(kStatusPollMs);
  RefreshStatus();
}

// The program in front is looked up only when another process comes to the front.
std::string EditorDialog::ProgramOf(uint32_t processId) {
  if (processId == 0 || !services_.programName) return {};
  if (processId != namedProcess_) {
    namedProcess_ = processId;
    namedProgram_ = services_.programName(processId);
  }
  return namedProgram_;
}

void EditorDialog::RefreshStatus() {
  const ProtocolState& protocol = services_.engine.Protocol;
  SurfaceStatus status;
  status.connected = connected_;
  status.deviceMode = protocol.CurrentDeviceMode.load();
  status.bankLayer = protocol.BankLayer.load();
  status.shiftLayer = protocol.ShiftLayer.load();
  // The record goes with the connection; Keysets live until exit, so the name is safe.
  if (const std::shared_ptr<FocusState> record = services_.engine.FocusState.Current()) {
    const FocusSnapshot now = record->Peek();
    if (now.ActiveKeyset) {
      status.keyset = now.ActiveKeyset->Name;
      status.executable = ProgramOf(now.ProcessId);
    }
  }
  status.midiProblem = midiProblem_;
  status.absentPorts = absentPorts_;
  // Keysets also change from outside the editor (their files): the marks and the
  // unsaved-changes mark follow here.
  RefreshMarks();
  RefreshUnsaved();
  picture_->SetLayers(status.bankLayer, status.shiftLayer);
  picture_->SetLamp(kBankButton, status.bankLayer == 1);
  picture_->SetPressed(kShiftButton, status.shiftLayer == 1);
  if (status == shownStatus_ && !status_->text().isEmpty()) return;
  shownStatus_ = status;
  status_->setText(StatusLineText(status));
}

QString EditorDialog::StatusText() const { return status_->text(); }

void EditorDialog::ShowMidiState(const std::string& problem, const std::string& absentPorts) {
  if (problem == midiProblem_ && absentPorts == absentPorts_) return;  // told again on every poll
  midiProblem_ = problem;
  absentPorts_ = absentPorts;
  RefreshStatus();
}

void EditorDialog::RefreshMarks() {
  std::map<ControlId, SurfacePicture::Mark> marks;
  if (shown_)
    shown_->ForEachMapping([&](ControlId id, const ControlMapping& mapping) {
      if (MapsSomething(mapping)) marks[id] = {MappingBadge(mapping), MappingSummary(mapping)};
    });
  picture_->SetMarks(std::move(marks));
}

// "Fader 1 in DEFAULT: key A; MIDI CC 74, ch 1 (BF 00 vv → B0 4A vv)", or how to map it.
void EditorDialog::ShowSummary(const QString& lead) {
  if (!selected_) {
    summary_->setText(shown_ ? QStringLiteral("Marked controls do something in %1; point at one to read what.")
                                   .arg(QString::fromStdString(shown_->Name))
                             : QString());
    return;
  }
  const QString name = QString::fromLatin1(selected_->name);
  const ControlMapping* mapping = shown_ ? shown_->LookupMapping(selected_->id) : nullptr;
  const QString does = mapping ? MappingSummary(*mapping) : QString();
  const QString keyset = shown_ ? QString::fromStdString(shown_->Name) : QStringLiteral("<No Active Keyset>");
  if (does.isEmpty())
    summary_->setText(QStringLiteral("%1 does nothing of its own in %2: press a key under \"Key\" or choose a "
                                     "message on \"MIDI Map\", then Apply.")
                          .arg(name, keyset));
  else
    summary_->setText((lead.isEmpty() ? QStringLiteral("%1 in %2: ").arg(name, keyset) : lead + name + ": ") + does);
}

void EditorDialog::ShowSummaryLater() {
  if (summaryDue_) return;
  summaryDue_ = true;
  QTimer::singleShot(0, this, [this] {
    summaryDue_ = false;
    ShowSummary();
  });
}

QString EditorDialog::Summary() const { return summary_->text(); }

void EditorDialog::RefreshUnsaved() {
  bool unsaved = false;
  services_.engine.Mapper.ForEachKeyset(
      [&](const std::string&, const Keyset& keyset) { unsaved = unsaved || services_.files.HasUnsavedChanges(keyset); });
  if (unsaved == unsaved_) return;
  unsaved_ = unsaved;
  RefreshTitle();
}

}  // namespace orvo
