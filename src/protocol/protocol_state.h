#pragma once
// The process-wide state of the device protocol. One instance lives in the engine's
// context, so that tests start clean. Every member is shared between threads: a reader
// sees the old or the new value, as relaxed atomics give.
#include <array>
#include <atomic>
#include <cstdint>

#include "protocol/control_table.h"

namespace orvo {

// The surface's operating modes, as the host believes them to be.
enum DeviceMode : int32_t {
  kModeNone = 0,
  kModeStandard = 1,
  kModeHost = 2,
  kModeKelo = 3,
  kModeEnhanced = 4,
};

struct ProtocolState {
  ProtocolState() { ResetMessages(); }
  ProtocolState(const ProtocolState&) = delete;
  ProtocolState& operator=(const ProtocolState&) = delete;

  // 1: Mute, Solo, Pan Select layer of the per-channel buttons; 0: MMC Track Arm,
  // MMC Goto Locate, Track Select.
  std::atomic<uint8_t> BankLayer{0};
  // 1: the shifted F1-F9 buttons.
  std::atomic<uint8_t> ShiftLayer{0};
  std::atomic<int32_t> CurrentDeviceMode{kModeNone};
  // The row of the last message dispatch took in Host mode (nullptr: none).
  std::atomic<const ControlDescriptor*> LastHostControl{nullptr};

  // Resolves a received message with the current layers (see LookupControlByMessage).
  const ControlDescriptor* LookupControlByMessage(uint8_t (&bytes)[3]) const {
    return orvo::LookupControlByMessage(bytes, BankLayer.load(std::memory_order_relaxed),
                                        ShiftLayer.load(std::memory_order_relaxed));
  }

  // The row's wire code at start; while the surface is in Host mode, the latest message
  // received for the control, value included. Written by the read thread.
  uint32_t LastMessage(const ControlDescriptor& row) const {
    return messages_[RowIndex(row)].load(std::memory_order_relaxed);
  }
  void SetLastMessage(const ControlDescriptor& row, uint32_t message) {
    messages_[RowIndex(row)].store(message, std::memory_order_relaxed);
  }
  // Every row's message back to its wire code.
  void ResetMessages() {
    for (std::size_t i = 0; i < kControlRowCount; ++i)
      messages_[i].store(kControls[i].wireCode, std::memory_order_relaxed);
  }

 private:
  std::array<std::atomic<uint32_t>, kControlRowCount> messages_;
};

}  // namespace orvo
