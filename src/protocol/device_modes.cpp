#include "protocol/device_modes.h"

#include "protocol/lamp_memory.h"

namespace orvo {
namespace {

constexpr std::array<uint8_t, 5> kStandardMessage{0xF0, 0x15, 0x29, 0x02, 0xF7};
constexpr std::array<uint8_t, 5> kHostMessage{0xF0, 0x15, 0x29, 0x01, 0xF7};
constexpr std::array<uint8_t, 5> kKeloMessage{0xF0, 0x15, 0x15, 0x01, 0xF7};

// The surface's lamps that belong to no control: beside the wheel's two.
constexpr uint8_t kFirstLooseLamp = 0x59;
constexpr uint8_t kLastLooseLamp = 0x5E;

// The two layers of a channel button share a lamp: only the BankLayer 1 row names it.
constexpr bool NamesItsLamp(const ControlDescriptor& row) {
  return row.hasLamp && row.layer != ControlLayer::BankOff;
}

constexpr std::size_t LampsOfControls() {
  std::size_t count = 0;
  for (const ControlDescriptor& row : kControls) count += NamesItsLamp(row) ? 1 : 0;
  return count;
}
static_assert(LampsOfControls() + (kLastLooseLamp - kFirstLooseLamp + 1) == kLampMessageCount);

// Every lamp once: those of the controls in ControlId order, then the others.
constexpr std::array<uint8_t, kLampMessageCount * 3> BuildDarkLampBuffer() {
  std::array<uint8_t, kLampMessageCount * 3> buffer{};
  std::size_t at = 0;
  auto add = [&](uint8_t status, uint8_t number) {
    buffer[at++] = status;
    buffer[at++] = number;
    buffer[at++] = 0x00;
  };
  for (const ControlDescriptor& row : kControls)
    if (NamesItsLamp(row))
      add(static_cast<uint8_t>(row.wireCode), static_cast<uint8_t>(row.wireCode >> 8));
  for (uint8_t n = kFirstLooseLamp; n <= kLastLooseLamp; ++n) add(0xBE, n);
  return buffer;
}
constexpr auto kDarkLampBuffer = BuildDarkLampBuffer();
static_assert(kDarkLampBuffer.size() == 318);

// Slot + 1 of every (status 0xBD/0xBE, number) in the burst; 0 for no lamp.
constexpr std::array<std::array<uint8_t, 128>, 2> BuildLampSlots() {
  std::array<std::array<uint8_t, 128>, 2> slots{};
  for (std::size_t slot = 0; slot < kLampMessageCount; ++slot)
    slots[kDarkLampBuffer[slot * 3] - 0xBD][kDarkLampBuffer[slot * 3 + 1]] = static_cast<uint8_t>(slot + 1);
  return slots;
}
constexpr auto kLampSlots = BuildLampSlots();
constexpr uint8_t kBankLampNumber = 0x40;

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

const LampBuffer& DarkLampBuffer() { return kDarkLampBuffer; }

int LampSlot(uint8_t status, uint8_t number) {
  if ((status != 0xBD && status != 0xBE) || number >= 0x80) return -1;
  return static_cast<int>(kLampSlots[status - 0xBD][number]) - 1;
}

int SetDeviceMode(ProtocolState& state, DeviceWriter& device, int32_t mode) {
  if (mode == state.CurrentDeviceMode.load()) return kModeDone;
  const auto* message = ModeMessage(mode);
  if (!message) return kModeHasNoMessage;
  if (!device.WriteDevice(message->data(), static_cast<uint32_t>(message->size())))
    return kModeWriteFailed;
  state.CurrentDeviceMode.store(mode);
  return kModeDone;
}

int SelectModeForApplication(ProtocolState& state, DeviceWriter& device, int32_t mode, const LampMemory* lamps) {
  if (const int result = SetDeviceMode(state, device, mode); result != kModeDone) return result;
  if (state.CurrentDeviceMode.load() == kModeHost) {
    state.BankLayer.store(0);
    state.ShiftLayer.store(0);
    state.LastHostControl.store(nullptr);
    DarkenAllLamps(state, device, lamps);
  }
  return kModeDone;
}

int DarkenAllLamps(ProtocolState& state, DeviceWriter& device, const LampMemory* lamps) {
  if (state.CurrentDeviceMode.load() != kModeHost) return 1;
  LampBuffer burst = kDarkLampBuffer;
  if (lamps)
    for (std::size_t slot = 0; slot < kLampMessageCount; ++slot)
      if (!(burst[slot * 3] == 0xBE && burst[slot * 3 + 1] == kBankLampNumber)) burst[slot * 3 + 2] = lamps->ValueOf(slot);
  device.WriteDevice(burst.data(), static_cast<uint32_t>(burst.size()));
  return 0;
}

}  // namespace orvo
