#include "protocol/device_modes.h"

namespace orvo {
namespace {

constexpr std::array<uint8_t, 5> kStandardMessage{0xF0, 0x15, 0x29, 0x02, 0xF7};
constexpr std::array<uint8_t, 5> kHostMessage{0xF0, 0x15, 0x29, 0x01, 0xF7};
constexpr std::array<uint8_t, 5> kKeloMessage{0xF0, 0x15, 0x15, 0x01, 0xF7};

constexpr std::array<uint8_t, kLampMessageCount * 3> BuildDarkLampBuffer() {
  std::array<uint8_t, kLampMessageCount * 3> buffer{};
  std::size_t at = 0;
  auto add = [&](uint8_t status, uint8_t number) {
    buffer[at++] = status;
    buffer[at++] = number;
    buffer[at++] = 0x00;
  };
  for (uint8_t n = 0x00; n <= 0x1F; ++n) add(0xBD, n);  // Mute / MMC Track Arm
  for (uint8_t n = 0x40; n <= 0x5F; ++n) add(0xBD, n);  // Solo / MMC Goto Locate
  for (uint8_t n = 0x00; n <= 0x1F; ++n) add(0xBE, n);  // Pan Select / Track Select
  add(0xBE, 0x40);                                      // Bank
  add(0xBE, 0x4F);                                      // RECORD
  for (uint8_t n = 0x57; n <= 0x5E; ++n) add(0xBE, n);  // wheel and the other lamps
  return buffer;
}
constexpr auto kDarkLampBuffer = BuildDarkLampBuffer();
static_assert(kDarkLampBuffer.size() == 318);

}  // namespace

const char* ModeDisplayName(int32_t mode) {
  static constexpr const char* kNames[] = {"None", "Standard", "Host", "Kelo", "Enhanced"};
  return mode >= 0 && mode <= 4 ? kNames[mode] : "Unknown";
}

const std::array<uint8_t, 5>* ModeMessage(int32_t mode) {
  switch (mode) {
    case kModeStandard: return &kStandardMessage;
    case kModeHost: return &kHostMessage;
    case kModeKelo: return &kKeloMessage;
    default: return nullptr;
  }
}

const std::array<uint8_t, kLampMessageCount * 3>& DarkLampBuffer() { return kDarkLampBuffer; }

int SetDeviceMode(ProtocolState& state, DeviceWriter& device, int32_t mode) {
  if (mode == state.CurrentDeviceMode.load()) return kModeDone;
  const auto* message = ModeMessage(mode);
  if (!message) return kModeHasNoMessage;
  if (!device.WriteDevice(message->data(), static_cast<uint32_t>(message->size())))
    return kModeWriteFailed;
  state.CurrentDeviceMode.store(mode);
  return kModeDone;
}

int SelectModeForApplication(ProtocolState& state, DeviceWriter& device, int32_t mode) {
  if (const int result = SetDeviceMode(state, device, mode); result != kModeDone) return result;
  if (state.CurrentDeviceMode.load() == kModeHost) {
    state.BankLayer.store(0);
    state.ShiftLayer.store(0);
    state.LastHostControl.store(nullptr);
    DarkenAllLamps(state, device);
  }
  device.PurgeDevice();
  return kModeDone;
}

int DarkenAllLamps(ProtocolState& state, DeviceWriter& device) {
  if (state.CurrentDeviceMode.load() != kModeHost) return 1;
  device.WriteDevice(kDarkLampBuffer.data(), static_cast<uint32_t>(kDarkLampBuffer.size()));
  return 0;
}

}  // namespace orvo
