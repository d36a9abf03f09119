// The editor's status line and the layer buttons of its picture. GUI thread.
#include <QLabel>
#include <QTimer>

#include "editor/editor_dialog.h"
#include "editor/surface_picture.h"
#include "mapping/engine_context.h"

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
  picture_->SetLayers(status.bankLayer, status.shiftLayer);
  picture_->SetLamp(kBankButton, status.bankLayer == 1);
  picture_->SetPressed(kShiftButton, status.shiftLayer == 1);
  if (status == shownStatus_ && !status_->text().isEmpty()) return;
  shownStatus_ = status;
  status_->setText(StatusLineText(status));
}

QString EditorDialog::StatusText() const { return status_->text(); }

}  // namespace orvo
