#pragma once
// A mapping told in words, the same everywhere the editor shows one (the Keyset table, the
// marks on the picture, the line under it): its keystroke, the MIDI it sends as a musician
// reads it beside the bytes ("CC 74, ch 1 (BF 04 vv → B0 4A vv)"), its label.
#include <QString>

namespace orvo {

struct ControlMapping;

// "Native" for a message sent as the surface made it, else the words and the bytes.
QString MidiRuleWords(const ControlMapping& mapping);
// "key Ctrl+A; MIDI CC 74, ch 1 (…); label "Vol"": only what the mapping does.
QString MappingSummary(const ControlMapping& mapping);
// The picture's badge: "K" a keystroke, "M" a MIDI rule, "KM" both, "L" a label alone.
QString MappingBadge(const ControlMapping& mapping);

}  // namespace orvo
