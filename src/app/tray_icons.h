#pragma once
// The tray's icons, drawn here: the surface with a green lamp when connected, greyed and
// struck through when not, and connected with an amber warning sign when MIDI does not
// flow (no MIDI system, or a Keyset's port not there).
#include <QIcon>
#include <QPixmap>

namespace orvo {

QPixmap DrawTrayPixmap(bool connected, int size, bool midiTrouble = false);
QIcon ConnectedIcon();
QIcon DisconnectedIcon();
QIcon MidiTroubleIcon();

}  // namespace orvo
