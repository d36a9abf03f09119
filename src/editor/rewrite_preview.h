#pragma once
// What a rewrite rule makes of a control's message, as the "MIDI Map" tab shows it: the
// control's three bytes and the bytes sent, in hex, with "vv" where the control's value
// goes, e.g. "BF 04 vv → B0 07 vv". Built with the dispatch's own rule, so that the
// preview is what is sent.
#include <QString>
#include <cstdint>

#include "mapping/map_type.h"
#include "protocol/control_table.h"

namespace orvo {

QString RewritePreview(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB);
// What the rule sends in words, e.g. "CC 74, ch 1" for "B0 4A vv".
QString RewriteWords(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB);

}  // namespace orvo
