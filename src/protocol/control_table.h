#pragma once
// The surface's vocabulary: one row per control event (ControlId 1000-1270, 1223 has
// none) with its display name and wire code. Several ControlIds share a physical button;
// the Bank and Shift layers decide which one a received message stands for.
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace orvo {

using ControlId = int32_t;

inline constexpr ControlId kFirstControlId = 1000;
inline constexpr ControlId kLastControlId = 1270;
inline constexpr ControlId kNoControlId = 1223;
inline constexpr std::size_t kControlRowCount = 270;

inline constexpr ControlId kBankButton = 1192;
inline constexpr ControlId kShiftButton = 1193;
inline constexpr ControlId kFootSwitch = 1268;

struct ControlDescriptor {
  ControlId id;
  const char* name;
  uint32_t wireCode;    // status | control number << 8, value 0
  const char* caption;  // the editor's picture button family, or nullptr (Bank, Shift)
  // The row's wire code at start; while the surface is in Host mode, the latest message
  // received for this control, value included. Written by the read thread, read by the
  // editor's lamp writes.
  std::atomic<uint32_t> message;
};

class ControlTable {
 public:
  ControlTable();
  ControlTable(const ControlTable&) = delete;
  ControlTable& operator=(const ControlTable&) = delete;

  // The row of `id`, or nullptr (999, 1223, 1271 and every other number outside).
  const ControlDescriptor* LookupControlById(ControlId id) const;
  ControlDescriptor* LookupControlById(ControlId id);

  // The row a received message stands for, or nullptr for a status or control number
  // that belongs to no control. A footswitch reported under 0xBE is rewritten in
  // `bytes` to 0xBF. `bankLayer`/`shiftLayer` choose the layer of shared buttons.
  ControlDescriptor* LookupControlByMessage(uint8_t (&bytes)[3], uint8_t bankLayer, uint8_t shiftLayer);

  std::span<ControlDescriptor> Rows() { return rows_; }
  std::span<const ControlDescriptor> Rows() const { return rows_; }

  // Every row's message back to its wire code.
  void ResetMessages();

 private:
  std::array<ControlDescriptor, kControlRowCount> rows_;
};

// True for the faders, pots and wheel: they act on every event, not only on a press.
constexpr bool IsContinuousControl(ControlId id) {
  return id >= 1224 && id <= 1270 && id != kFootSwitch;
}

// The per-channel buttons come in two layers that Bank switches between: Mute, Solo and
// Pan show while BankLayer is 1, Arm, Locate and Select while it is 0.
constexpr bool InMuteSoloPanLayer(ControlId id) {
  return (id >= 1000 && id <= 1031) || (id >= 1064 && id <= 1095) || (id >= 1128 && id <= 1159);
}
constexpr bool InArmLocateSelectLayer(ControlId id) {
  return (id >= 1032 && id <= 1063) || (id >= 1096 && id <= 1127) || (id >= 1160 && id <= 1191);
}

}  // namespace orvo
