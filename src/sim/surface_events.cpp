#include "sim/surface_events.h"

#include <algorithm>

namespace orvo::sim {
namespace {
constexpr uint8_t kSliderStatus = 0xBF;  // faders, pots, wheel
constexpr uint8_t kWheelNumber = 0x60;
}  // namespace

std::vector<uint8_t> ButtonEvent(const ControlDescriptor& row, bool down) {
  return {static_cast<uint8_t>(row.wireCode & 0xFF), static_cast<uint8_t>((row.wireCode >> 8) & 0xFF),
          static_cast<uint8_t>(down ? 0x7F : 0x00)};
}

std::vector<uint8_t> FaderEvent(int fader, int value) {
  return {kSliderStatus, static_cast<uint8_t>(std::clamp(fader, 1, 32) - 1),
          static_cast<uint8_t>(std::clamp(value, 0, 0x7F))};
}

uint8_t PotControlNumber(int pot) {
  pot = std::clamp(pot, 1, 6);
  return static_cast<uint8_t>(pot >= 4 ? 0x40 + (pot - 4) : 0x43 + (pot - 1));
}

std::vector<uint8_t> PotStepEvent(uint8_t controlNumber, bool clockwise) {
  return {kSliderStatus, controlNumber, static_cast<uint8_t>(clockwise ? 0x41 : 0x01)};
}

std::vector<uint8_t> WheelStepEvent(bool clockwise) {
  return {kSliderStatus, kWheelNumber, static_cast<uint8_t>(clockwise ? 0x01 : 0x41)};
}

}  // namespace orvo::sim
