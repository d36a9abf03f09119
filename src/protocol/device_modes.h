#pragma once
// Switching the surface between its operating modes, and darkening its lamps.
#include <array>
#include <cstdint>

#include "protocol/device_writer.h"
#include "protocol/protocol_state.h"

namespace orvo {

// Results of the mode operations.
inline constexpr int kModeDone = 0;
inline constexpr int kModeHasNoMessage = 1;
inline constexpr int kModeWriteFailed = 2;

// "None", "Standard", "Host", "Kelo", "Enhanced"; "Unknown" outside 0-4.
const char* ModeDisplayName(int32_t mode);

// The five-byte mode message, or nullptr for None, Enhanced and unknown modes.
const std::array<uint8_t, 5>* ModeMessage(int32_t mode);

// The lamp codes, each with value 0: 106 messages, 318 bytes.
inline constexpr std::size_t kLampMessageCount = 106;
using LampBuffer = std::array<uint8_t, kLampMessageCount * 3>;
const LampBuffer& DarkLampBuffer();
// The message of the lamp burst that writes the lamp of (status, number), or -1 when
// those are no lamp's address.
int LampSlot(uint8_t status, uint8_t number);

class LampMemory;

// Writes the mode message unless `mode` is already current.
int SetDeviceMode(ProtocolState& state, DeviceWriter& device, int32_t mode);

// Puts the surface into `mode` for a newly active application: in Host mode also resets
// both layers and LastHostControl and sends the lamp burst with the application's
// remembered lamps (`lamps`; every lamp dark without it). Nothing is purged: what the
// surface sends meanwhile are control events that must all arrive, and what was written
// must all go out, so the reader never waits for the line to drain.
int SelectModeForApplication(ProtocolState& state, DeviceWriter& device, int32_t mode,
                             const LampMemory* lamps = nullptr);

// Sends the lamp burst in one write: every lamp at its value in `lamps`, or dark where
// nothing is known or without `lamps`; Bank always dark, its layer being reset. 0 when
// sent, 1 when the surface is not in Host mode.
int DarkenAllLamps(ProtocolState& state, DeviceWriter& device, const LampMemory* lamps = nullptr);

}  // namespace orvo
