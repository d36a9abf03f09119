#include "editor/midi_map_panel.h"

#include "editor/editor_target.h"
#include "mapping/keyset.h"
#include "platform/message_service.h"

namespace orvo {

// Placeholder until MIDI map editing lands.
MidiMapPanel::MidiMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent)
    : QWidget(parent), target_(target), messages_(messages) {}

void MidiMapPanel::ShowMidiMap(const ControlMapping&) {}
void MidiMapPanel::ApplyMapping() {}

}  // namespace orvo
