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
const std::array<uint8_t, kLampMessageCount * 3>& DarkLampBuffer();

// Writes the mode message unless `mode` is already current.
int SetDeviceMode(ProtocolState& state, DeviceWriter& device, int32_t mode);

// Puts the surface into `mode` for a newly active application: in Host mode also resets
// both layers and LastHostControl and darkens every lamp; then purges the bridge.
int SelectModeForApplication(ProtocolState& state, DeviceWriter& device, int32_t mode);

// 0 when the lamp buffer was sent, 1 when the surface is not in Host mode.
int DarkenAllLamps(ProtocolState& state, DeviceWriter& device);

}  // namespace orvo
