#include "protocol/control_table.h"

namespace orvo {
namespace {

// The rows lie in ControlId order with one gap, 1223.
constexpr bool RowsAreInOrder() {
  ControlId expected = kFirstControlId;
  for (const ControlDescriptor& row : kControls) {
    if (expected == kNoControlId) ++expected;
    if (row.id != expected) return false;
    ++expected;
  }
  return expected == kLastControlId + 1;
}
static_assert(RowsAreInOrder());

// The row sharing a button with `row` in the other layer, or 1223 for none.
constexpr ControlId PartnerOf(const ControlDescriptor& row) {
  switch (row.layer) {
    case ControlLayer::BankOn: return row.id + 32;
    case ControlLayer::BankOff: return row.id - 32;
    case ControlLayer::ShiftOff: return row.id + 20;
    case ControlLayer::ShiftOn: return row.id - 20;
    case ControlLayer::None: break;
  }
  return kNoControlId;
}

// The two rows of a shared button have the same wire code, one in each layer. Rows are
// found by position, not by pointer: a sanitizer's build cannot compare addresses of the
// table in a constant expression.
constexpr bool LayersPairUp() {
  for (const ControlDescriptor& row : kControls) {
    if (row.layer == ControlLayer::None) continue;
    const ControlId partnerId = PartnerOf(row);
    if (partnerId < kFirstControlId || partnerId > kLastControlId || partnerId == kNoControlId) return false;
    const ControlDescriptor& partner =
        kControls[static_cast<std::size_t>(partnerId - kFirstControlId - (partnerId > kNoControlId ? 1 : 0))];
    if (partner.id != partnerId || partner.wireCode != row.wireCode || PartnerOf(partner) != row.id) return false;
  }
  return true;
}
static_assert(LayersPairUp());

// The ControlId a received message stands for, or 0 when it names no control.
ControlId ControlIdOfMessage(uint8_t (&bytes)[3], uint8_t bankLayer, uint8_t shiftLayer) {
  const uint8_t status = bytes[0];
  const uint8_t number = bytes[1];
  const uint8_t value = bytes[2];
  switch (status) {
    case 0xBD:
      // Mute / MMC Track Arm at 0x00-0x1F, Solo / MMC Goto Locate at 0x40-0x5F.
      if (number <= 0x1F || (number >= 0x40 && number <= 0x5F))
        return (bankLayer ? 1000 : 1032) + number;
      return 0;
    case 0xBE:
      if (number <= 0x1F) return (bankLayer ? 1128 : 1160) + number;
      if (number < 0x40) return 0;
      if (number == 0x40) return kBankButton;
      if (number == 0x41) return kShiftButton;
      if (number <= 0x4A) return (shiftLayer ? 1148 : 1128) + number;
      if (number == 0x56) {
        bytes[0] = 0xBF;  // the footswitch's own status
        return kFootSwitch;
      }
      if (number <= 0x55) return 1128 + number;  // transport, wheel buttons, cursors
      return 0;
    case 0xBF:
      if (number <= 0x1F) return 1224 + number;
      if (number >= 0x40 && number <= 0x45) return (value < 0x40 ? 1256 : 1262) + (number - 0x40);
      if (number == 0x56) return kFootSwitch;
      if (number == 0x60) return (value & 0x40) ? 1269 : 1270;
      return 0;
    default:
      return 0;
  }
}

}  // namespace

const ControlDescriptor* LookupControlByMessage(uint8_t (&bytes)[3], uint8_t bankLayer, uint8_t shiftLayer) {
  return LookupControlById(ControlIdOfMessage(bytes, bankLayer, shiftLayer));
}

}  // namespace orvo
