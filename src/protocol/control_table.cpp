#include "protocol/control_table.h"

#include <utility>

namespace orvo {
namespace {

struct RowData {
  ControlId id;
  const char* name;
  uint32_t wireCode;
  const char* caption;
};

constexpr RowData kRows[] = {
#include "protocol/control_rows.inc"
};
static_assert(std::size(kRows) == kControlRowCount);

// The rows lie in ControlId order with one gap, 1223.
constexpr bool RowsAreInOrder() {
  ControlId expected = kFirstControlId;
  for (const RowData& row : kRows) {
    if (expected == kNoControlId) ++expected;
    if (row.id != expected) return false;
    ++expected;
  }
  return expected == kLastControlId + 1;
}
static_assert(RowsAreInOrder());

constexpr int RowIndexOf(ControlId id) {
  if (id < kFirstControlId || id > kLastControlId || id == kNoControlId) return -1;
  return id < kNoControlId ? id - kFirstControlId : id - kFirstControlId - 1;
}

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

ControlTable::ControlTable()
    : rows_([]<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<ControlDescriptor, kControlRowCount>{
            ControlDescriptor{kRows[I].id, kRows[I].name, kRows[I].wireCode, kRows[I].caption,
                              kRows[I].wireCode}...};
      }(std::make_index_sequence<kControlRowCount>{})) {}

const ControlDescriptor* ControlTable::LookupControlById(ControlId id) const {
  const int index = RowIndexOf(id);
  return index < 0 ? nullptr : &rows_[static_cast<std::size_t>(index)];
}

ControlDescriptor* ControlTable::LookupControlById(ControlId id) {
  const int index = RowIndexOf(id);
  return index < 0 ? nullptr : &rows_[static_cast<std::size_t>(index)];
}

ControlDescriptor* ControlTable::LookupControlByMessage(uint8_t (&bytes)[3], uint8_t bankLayer,
                                                       uint8_t shiftLayer) {
  return LookupControlById(ControlIdOfMessage(bytes, bankLayer, shiftLayer));
}

void ControlTable::ResetMessages() {
  for (ControlDescriptor& row : rows_) row.message.store(row.wireCode, std::memory_order_relaxed);
}

}  // namespace orvo
