// What the rest of the program tells the editor: control events, MIDI from applications
// and long messages, each printed in the monitor; control events also select. GUI thread
// (the engine's threads reach it through queued calls).
#include "editor/editor_dialog.h"
#include "editor/midi_map_panel.h"
#include "editor/monitor_edit.h"
#include "mapping/engine_context.h"
#include "protocol/editor_notifier.h"
#include "platform/midi_header.h"
#include "protocol/midi_words.h"
#include "protocol/monitor_lines.h"

namespace orvo {
namespace {

// Each monitor line says which way the message went and what it is, after its bytes.
constexpr const char* kSurfaceToHost = "surface \u2192 host";
constexpr const char* kToApplication = "to the application";
constexpr const char* kHostToSurface = "host \u2192 surface";

std::string WithWords(const std::string& line, const char* direction, const std::string& words) {
  return line + "   [" + direction + "] " + words;
}

// The layer a per-channel button belongs to is hidden when Bank shows the other one.
bool LayerHidden(const ControlDescriptor& row, uint8_t bankLayer) {
  return (row.layer == ControlLayer::BankOff && bankLayer == 1) || (row.layer == ControlLayer::BankOn && bankLayer == 0);
}

}  // namespace

void EditorDialog::WriteMonitorLine(const std::string& line) { monitor_->WriteLine(QString::fromStdString(line)); }

void EditorDialog::EditorShortMessage(const ControlDescriptor* row, const Keyset* keyset, uint32_t message) {
  const uint32_t flags = message >> 24;
  const bool fromInput = (flags & kNotifyFromInput) != 0;
  if (flags & kNotifyMonitor) {
    const std::string words = DescribeShortMessage(message);
    if (fromInput)
      WriteMonitorLine(WithWords(FormatInputLine(message, keyset ? keyset->Name.c_str() : nullptr), kHostToSurface, words));
    else  // with the lamp flag, a touch while the editor is in front; else what dispatch sent
      WriteMonitorLine(WithWords(FormatControlLine(message, row ? row->name : nullptr),
                                 (flags & kNotifyLamp) ? kSurfaceToHost : kToApplication, words));
  }
  // "Learn" takes the next message from an application's port or the surface as the
  // selected control's target; a control touched for it is not selected.
  if ((flags & kNotifyMonitor) && midiMap_->Learn(static_cast<uint8_t>(message), static_cast<uint8_t>(message >> 8))) {
    SelectTab(kTabMidiMap);
    return;
  }
  if (fromInput || !row) return;
  ProtocolState& protocol = services_.engine.Protocol;
  if (protocol.CurrentDeviceMode.load() != kModeHost) return;

  const ControlId id = row->id;
  const uint8_t value = static_cast<uint8_t>(message >> 16);
  // Releases select nothing; a fader or pot moved to 0 still does.
  if ((id <= kNoControlId || id == kFootSwitch) && value == 0) return;

  if (id == kBankButton) {
    // The press has just switched the layer: the lamp of the last button touched goes
    // dark when its layer is now hidden.
    if (flags & kNotifyLamp) {
      const ControlDescriptor* last = protocol.LastHostControl.load();
      if (last && LayerHidden(*last, protocol.BankLayer.load())) SetControlLamp(last->id, false);
    }
    return;
  }
  if (flags & (kNotifyLamp | kNotifySelect)) SelectControl(id, flags);
}

void EditorDialog::EditorLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) {
  // A buffer that came in on an application's port is marked done by its input; the
  // surface's, handed to the application's output, not yet.
  const char* direction = (flags & kMidiHeaderDone) ? kHostToSurface : kToApplication;
  WriteMonitorLine(WithWords(FormatLongMessageLine(bytes.data(), static_cast<uint32_t>(bytes.size()), flags,
                                                   keyset ? keyset->Name.c_str() : nullptr),
                             direction, "system exclusive, " + std::to_string(bytes.size()) + " bytes"));
}

}  // namespace orvo
