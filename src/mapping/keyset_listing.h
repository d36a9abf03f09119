#pragma once
// A Keyset's mappings as readable lines, one per mapping, sorted as a list box sorts them:
//   Fader 1(1224):  A(0x41), Ctrl+(0x1), Custom 1: midi msg = (B0, 7, Native), Vol
// Shared by the editor's listing and `orvo --list-keysets`.
#include <string>
#include <vector>

#include "mapping/map_type.h"

namespace orvo {

class Keyset;
struct ControlDescriptor;
struct ControlMapping;

std::string FormatListingLine(const ControlMapping& mapping);
// The MIDI part alone: "Native", "Custom 1: midi msg = (B0, Native, Native)", ...
std::string FormatMidiRule(MapType mapType, uint8_t dataA, uint8_t dataB);
// What a rule makes the control send, as a musician reads it: "CC 74, ch 1".
std::string DescribeRule(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB);
// The line of every mapping that does something (a keystroke, a label or a MIDI rule),
// sorted without regard to letter case; a rule that rewrites the message is told in
// words after the line: "...  Vol   = CC 7, ch 1".
std::vector<std::string> KeysetListing(const Keyset& keyset);

}  // namespace orvo
