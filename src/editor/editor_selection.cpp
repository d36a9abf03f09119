// Selecting a control on the editor's picture: by a click (Host mode only) or by a touch
// on the surface; the selected control's lamp follows the selection. GUI thread.
#include "editor/editor_dialog.h"
#include "editor/editor_messages.h"
#include "editor/key_map_panel.h"
#include "editor/label_text.h"
#include "editor/midi_map_panel.h"
#include "editor/surface_picture.h"
#include "mapping/engine_context.h"
#include "protocol/device_writer.h"
#include "protocol/editor_notifier.h"

namespace orvo {
namespace {

// Bank and Shift are drawn only on the simulated surface; 1223 is no control.
bool HasPictureButton(ControlId id) {
  const ControlDescriptor* row = LookupControlById(id);
  return row && row->hasPictureButton;
}

}  // namespace

// A click on a picture button: only in Host mode, where the surface's lamps and layers
// are ours to drive.
void EditorDialog::PickControl(ControlId id) {
  if (!connected_) {
    // Said once: clicking on would only repeat it.
    if (!toldNotConnected_) {
      toldNotConnected_ = true;
      WriteMonitorLine(kNotConnectedNote);
      ShowHint();
    }
    return;
  }
  if (services_.engine.Protocol.CurrentDeviceMode.load() != kModeHost) return;
  if (!HasPictureButton(id)) return;
  if (selected_ && selected_->id == id) {
    picture_->SetPressed(id, true);
    return;
  }
  ShowLayerOf(id);
  SelectControl(id, kNotifyLamp | kNotifyCreate | kNotifySelect);
}

int EditorDialog::SelectControl(ControlId id, uint32_t flags) {
  const ControlDescriptor* row = LookupControlById(id);
  if (!row || !HasPictureButton(id)) return 0;
  if (row == selected_) return 0;
  if (selected_) {
    picture_->SetPressed(selected_->id, false);
    if (flags & kNotifyLamp) SetControlLamp(selected_->id, false);
  }
  picture_->SetPressed(id, true);
  if (flags & kNotifyLamp) SetControlLamp(id, true);
  selected_ = row;
  ShowHint();
  if (flags & kNotifySelect) ShowControl(id, (flags & kNotifyCreate) != 0);
  return 1;
}

// Lamps exist on the per-channel buttons, Bank, REC and the wheel; others have none to
// light. The lamp's address is the row's wire code: the latest message received for the
// row (which the reader keeps) is the wheel's turn, not its lamp.
void EditorDialog::SetControlLamp(ControlId id, bool on) {
  const ControlDescriptor* row = LookupControlById(id);
  if (!row || !row->hasLamp) return;
  const uint8_t bytes[3] = {static_cast<uint8_t>(row->wireCode), static_cast<uint8_t>(row->wireCode >> 8),
                            static_cast<uint8_t>(on ? 0x7F : 0x00)};
  services_.device.WriteDevice(bytes, 3);
}

// The surface shares its channel buttons between two layers and its F buttons between
// two: switch the surface to the picked control's layer so that touching it there means it.
void EditorDialog::ShowLayerOf(ControlId id) {
  const ControlDescriptor* row = LookupControlById(id);
  if (!row) return;
  ProtocolState& protocol = services_.engine.Protocol;
  const ControlLayer layer = row->layer;
  if (layer == ControlLayer::BankOff && protocol.BankLayer.load() == 1) {
    static constexpr uint8_t kBankLampOff[3] = {0xBE, 0x40, 0x00};
    if (services_.device.WriteDevice(kBankLampOff, 3)) protocol.BankLayer.store(0);
  } else if (layer == ControlLayer::BankOn && protocol.BankLayer.load() == 0) {
    static constexpr uint8_t kBankLampOn[3] = {0xBE, 0x40, 0x7F};
    if (services_.device.WriteDevice(kBankLampOn, 3)) protocol.BankLayer.store(1);
  } else if (layer == ControlLayer::ShiftOn) {
    protocol.ShiftLayer.store(1);
  } else if (layer == ControlLayer::ShiftOff) {
    protocol.ShiftLayer.store(0);
  }
}

// The control's name and its mapping in the Keyset on show. A control without one shows
// a blank mapping, which is made only when a key, a label or a rule is stored in it:
// touching or selecting a control never maps it, whatever `create` asks (the Keyset
// would otherwise fill with empty mappings). Nothing of a Keyset shown before stays on show.
void EditorDialog::ShowControl(ControlId id, bool /*create*/) {
  const ControlDescriptor* row = LookupControlById(id);
  if (!row) return;
  keyMap_->SetSelectedName(QString::fromLatin1(row->name));
  if (!shown_) return;
  const ControlMapping* mapping = shown_->LookupMapping(id);
  const ControlMapping blank(*row);
  if (!mapping) keyMap_->ClearModifiers();
  const ControlMapping& shown = mapping ? *mapping : blank;
  keyMap_->SetLabel(LabelForDisplay(shown.Label.Get()));
  keyMap_->ShowKeyText(shown.KeyCode.load(), shown.KeyFlags.load());
  midiMap_->ShowMidiMap(shown);
  keyMap_->FocusKeyCapture();
  ShowSummaryLater();
}

}  // namespace orvo
