#pragma once
// The serial bridge to the surface: the operations the link and the reader make on
// the USB-to-serial bridge, in the bridge library's overlapped style. A call that takes
// an Overlapped record returns true when the operation completed at once; otherwise the
// operation is pending and the bridge signals the record's event when it finishes, and
// OverlappedResult (never waiting) then tells its outcome and the count transferred.
// An implementation may also complete every call at once.
#include <atomic>
#include <cstdint>

#include "platform/manual_reset_event.h"

namespace orvo {

using BridgeHandle = std::intptr_t;
inline constexpr BridgeHandle kInvalidBridgeHandle = -1;

// Event mask bit: characters were received.
inline constexpr uint32_t kEvRxChar = 1;
// Purge flags: abort and clear both the transmit and the receive side.
inline constexpr uint32_t kPurgeAll = 15;
// Purge flags: abort and clear the transmit side only.
inline constexpr uint32_t kPurgeTransmit = 5;

// One overlapped operation at a time per record. Event is manual-reset.
struct Overlapped {
  ManualResetEvent Event;
  // Written by the bridge when a pending operation finishes, before Event is set.
  std::atomic<bool> Succeeded{false};
  std::atomic<uint32_t> Transferred{0};
};

struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// The device control block: the line settings the link reads, changes and writes back.
struct DeviceControlBlock {
  uint32_t BaudRate = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;    // 0 none
  uint8_t StopBits = 0;  // 0 one stop bit
  bool OutxCtsFlow = false;
  bool OutxDsrFlow = false;
  uint8_t DtrControl = 0;  // 0 disabled
  bool OutX = false;
  bool InX = false;
  uint8_t RtsControl = 0;  // 0 disabled
  bool AbortOnError = false;
};

class Bridge {
 public:
  virtual ~Bridge() = default;

  // Opens the bridge whose USB description is `description`, exclusively, for
  // overlapped reading and writing. Returns kInvalidBridgeHandle on failure; then
  // LastOpenError() tells why: 0 means no device of that description is present,
  // anything else that one is present but cannot be opened (busy, permission).
  virtual BridgeHandle OpenByDescription(const char* description) = 0;
  virtual uint32_t LastOpenError() = 0;

  virtual bool SetTimeouts(BridgeHandle h, const CommTimeouts& timeouts) = 0;
  virtual bool ResetDevice(BridgeHandle h) = 0;
  virtual bool GetState(BridgeHandle h, DeviceControlBlock& dcb) = 0;
  virtual bool SetState(BridgeHandle h, const DeviceControlBlock& dcb) = 0;
  virtual bool SetEventMask(BridgeHandle h, uint32_t mask) = 0;
  // The bridge's error number for the last failed call on `h`.
  virtual uint32_t LastError(BridgeHandle h) = 0;

  // Waits for an event of the mask (characters received).
  virtual bool WaitEvent(BridgeHandle h, uint32_t& events, Overlapped& ov) = 0;
  // Number of bytes in the receive queue.
  virtual bool QueueStatus(BridgeHandle h, uint32_t& pending) = 0;
  virtual bool Read(BridgeHandle h, uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov) = 0;
  virtual bool Write(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& written,
                     Overlapped& ov) = 0;
  virtual bool OverlappedResult(BridgeHandle h, Overlapped& ov, uint32_t& transferred) = 0;
  virtual bool Purge(BridgeHandle h, uint32_t flags) = 0;
  virtual bool Close(BridgeHandle h) = 0;
  // True when the device behind the open `h` is gone, looked at now rather than when the
  // bridge last noticed: it hung up, or the place it was opened from now holds another
  // device or none. An unknown handle is gone.
  virtual bool DeviceGone(BridgeHandle h) = 0;
};

}  // namespace orvo
