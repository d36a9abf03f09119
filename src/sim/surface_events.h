#pragma once
// What the surface sends when it is played: the bytes of a button going down or up, a
// fader at a value, one step of a pot or of the wheel. The line language and the
// simulated surface's window both build their messages here, so they send the same.
#include <cstdint>
#include <vector>

#include "protocol/control_table.h"

namespace orvo::sim {

// A button (also Bank, Shift and the footswitch): its status and control number with
// 0x7F going down, 0x00 coming up.
std::vector<uint8_t> ButtonEvent(const ControlDescriptor& row, bool down);

// Fader 1-32 at a value 0x00-0x7F (clamped).
std::vector<uint8_t> FaderEvent(int fader, int value);

// The control number of pot P1-P6: they run P4, P5, P6, P1, P2, P3 from 0x40.
uint8_t PotControlNumber(int pot);

// One step of the pot with this control number. A pot reads values below 0x40 as
// counter-clockwise.
std::vector<uint8_t> PotStepEvent(uint8_t controlNumber, bool clockwise);

// One step of the jog wheel. The wheel reads its value the other way round from the
// pots: bit 6 set is counter-clockwise.
std::vector<uint8_t> WheelStepEvent(bool clockwise);

}  // namespace orvo::sim
