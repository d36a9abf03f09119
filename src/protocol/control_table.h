#pragma once
// The surface's vocabulary: one row per control event (ControlId 1000-1270, 1223 has
// none) with its display name, wire code and what the surface has for it. Several
// ControlIds share a physical button; the Bank and Shift layers decide which one a
// received message stands for. The rows never change, so every thread may share them.
#include <array>
#include <cstddef>
#include <cstdint>

namespace orvo {

using ControlId = int32_t;

inline constexpr ControlId kFirstControlId = 1000;
inline constexpr ControlId kLastControlId = 1270;
inline constexpr ControlId kNoControlId = 1223;
inline constexpr std::size_t kControlRowCount = 270;

inline constexpr ControlId kBankButton = 1192;
inline constexpr ControlId kShiftButton = 1193;
inline constexpr ControlId kFootSwitch = 1268;

// The layer a row of a shared button shows in. Bank switches the per-channel buttons:
// Mute, Solo and Pan Select while BankLayer is 1, Arm, Locate and Track Select while it
// is 0. Shift switches F1-F9.
enum class ControlLayer : uint8_t {
  None,      // the button is not shared
  BankOn,    // BankLayer 1
  BankOff,   // BankLayer 0
  ShiftOff,  // ShiftLayer 0
  ShiftOn,   // ShiftLayer 1
};

struct ControlDescriptor {
  ControlId id;
  const char* name;
  uint32_t wireCode;    // status | control number << 8, value 0; also the lamp's address
  const char* caption;  // the editor's picture button family, or nullptr (Bank, Shift)
  ControlLayer layer;
  bool hasLamp;           // the channel buttons, Bank, RECORD and the wheel's two halves
  bool hasPictureButton;  // all but Bank and Shift, which only the simulated surface draws
};

inline constexpr std::array<ControlDescriptor, kControlRowCount> kControls{{
#include "protocol/control_rows.inc"
}};

// The row's place in kControls, for state kept per row.
inline std::size_t RowIndex(const ControlDescriptor& row) {
  return static_cast<std::size_t>(&row - kControls.data());
}

// The row of `id`, or nullptr (999, 1223, 1271 and every other number outside).
constexpr const ControlDescriptor* LookupControlById(ControlId id) {
  if (id < kFirstControlId || id > kLastControlId || id == kNoControlId) return nullptr;
  return &kControls[static_cast<std::size_t>(id < kNoControlId ? id - kFirstControlId : id - kFirstControlId - 1)];
}

// The row a received message stands for, or nullptr for a status or control number that
// belongs to no control. A footswitch reported under 0xBE is rewritten in `bytes` to
// 0xBF. `bankLayer`/`shiftLayer` choose the layer of shared buttons.
const ControlDescriptor* LookupControlByMessage(uint8_t (&bytes)[3], uint8_t bankLayer, uint8_t shiftLayer);

// True for the faders, pots and wheel: they act on every event, not only on a press.
constexpr bool IsContinuousControl(ControlId id) {
  return id >= 1224 && id <= 1270 && id != kFootSwitch;
}

}  // namespace orvo
