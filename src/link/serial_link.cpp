#include "link/serial_link.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <utility>

namespace orvo {
namespace {

// Reads return what has arrived after 100 ms; a write gives up after 200 ms.
constexpr CommTimeouts kLinkTimeouts{0, 0, 100, 0, 200};
constexpr uint32_t kLinkBaudRate = 38400;
// A byte on the line: a start bit, eight data bits, a stop bit.
constexpr std::chrono::nanoseconds kByteTime{10 * 1'000'000'000LL / kLinkBaudRate};

void ApplyLineSettings(DeviceControlBlock& dcb) {
  dcb.BaudRate = kLinkBaudRate;
  dcb.ByteSize = 8;
  dcb.Parity = 0;
  dcb.StopBits = 0;
  dcb.OutxCtsFlow = false;
  dcb.OutxDsrFlow = false;
  dcb.DtrControl = 0;
  dcb.OutX = false;
  dcb.InX = false;
  dcb.RtsControl = 0;
  dcb.AbortOnError = true;
}

}  // namespace

SerialLink::SerialLink(Bridge& bridge, ProtocolState& state, ManualResetEvent& unitConnection,
                       LinkHooks& hooks, MessageService& messages, std::chrono::milliseconds settleDelay)
    : bridge_(bridge),
      state_(state),
      unitConnection_(unitConnection),
      hooks_(hooks),
      messages_(messages),
      settleDelay_(settleDelay) {}

SerialLink::~SerialLink() { StopSettling(); }

void SerialLink::SettleOffThread(MainThreadPoster& mainThread) { mainThread_ = &mainThread; }

void SerialLink::CheckConnection() {
  if (settling_ != kInvalidBridgeHandle) {
    checkAfterSettling_ = true;  // the device being set up is held; look once it is done
    return;
  }
  const bool connected = hooks_.ShownState() == ConnectionState::kConnected;
  for (int i = 0; i < static_cast<int>(kBridgeDescriptions.size()); ++i) {
    const BridgeHandle h = bridge_.OpenByDescription(kBridgeDescriptions[i]);
    const uint32_t openError = bridge_.LastOpenError();
    if (h != kInvalidBridgeHandle) {
      if (connected) {
        // Another bridge while ours is up is not used; but after a quick swap this is the
        // new device, and ours has hung up or been replaced without our noticing yet.
        if (!bridge_.DeviceGone(link_.Handle.load())) {
          bridge_.Close(h);
          continue;
        }
        Disconnect();
      }
      Connect(h, i);
      return;
    }
    const bool oursAnswers = connectedDescription_ < 0 || connectedDescription_ == i;
    if (openError == 0 && connected && oursAnswers) {
      Disconnect();
      return;
    }
  }
  // Ours hung up, and whatever is in its place cannot be opened (yet).
  if (connected && bridge_.DeviceGone(link_.Handle.load())) Disconnect();
}

void SerialLink::Connect(BridgeHandle h, int description) {
  if (!mainThread_ || settleDelay_.count() <= 0) {
    if (ConfigureLink(h) == kLinkConfigured) Connected(h, description);
    return;
  }
  StartConfiguring(h);
  if (settler_.joinable()) settler_.join();  // done: it posted its task
  settling_ = h;
  settler_ = std::thread([this, h, description, weak = std::weak_ptr<SerialLink*>(self_)] {
    // Settle thread: waits, then hands the device back to the main thread.
    if (stopSettling_.WaitFor(settleDelay_)) return;
    mainThread_->Post([weak, h, description] {
      if (const auto self = weak.lock()) (*self)->FinishSettling(h, description);
    });
  });
}

void SerialLink::FinishSettling(BridgeHandle h, int description) {
  if (settling_ != h) return;  // closed at exit meanwhile
  settling_ = kInvalidBridgeHandle;
  if (FinishConfiguring(h) == kLinkConfigured) Connected(h, description);
  if (std::exchange(checkAfterSettling_, false)) CheckConnection();
}

void SerialLink::StopSettling() {
  stopSettling_.Set();
  if (settler_.joinable()) settler_.join();
  stopSettling_.Reset();
  if (const BridgeHandle h = std::exchange(settling_, kInvalidBridgeHandle); h != kInvalidBridgeHandle)
    bridge_.Close(h);
  checkAfterSettling_ = false;
}

void SerialLink::Connected(BridgeHandle h, int description) {
  link_.Handle.store(h);
  connectedDescription_ = description;
  hooks_.CreateFocusState();
  hooks_.ResumeFocusFinder();
  unitConnection_.Set();
  hooks_.RemoveTrayIcon();
  hooks_.ShowConnectionState(ConnectionState::kConnected);
}

void SerialLink::Disconnect() {
  unitConnection_.Reset();
  // Invalid before the close, so that no thread starts a new operation on a dying handle.
  const BridgeHandle h = link_.Handle.exchange(kInvalidBridgeHandle);
  if (h != kInvalidBridgeHandle) {
    bridge_.Purge(h, kPurgeAll);
    bridge_.Close(h);
  }
  state_.CurrentDeviceMode.store(kModeNone);
  WakeWaiters();
  feedback_.Clear();
  connectedDescription_ = -1;
  hooks_.PauseFocusFinder();
  hooks_.DestroyFocusState();
  hooks_.RemoveTrayIcon();
  hooks_.ShowConnectionState(ConnectionState::kDisconnected);
}

void SerialLink::WakeWaiters() {
  link_.WaitOverlapped.Event.Set();
  link_.ReadOverlapped.Event.Set();
  link_.WriteOverlapped.Event.Set();
}

int SerialLink::ConfigureLink(BridgeHandle h) {
  StartConfiguring(h);
  if (settleDelay_.count() > 0) std::this_thread::sleep_for(settleDelay_);
  return FinishConfiguring(h);
}

void SerialLink::StartConfiguring(BridgeHandle h) {
  // Only the event mask decides: the other calls' results say nothing the mask would not.
  bridge_.SetTimeouts(h, kLinkTimeouts);
  bridge_.ResetDevice(h);
}

int SerialLink::FinishConfiguring(BridgeHandle h) {
  DeviceControlBlock dcb;
  bridge_.GetState(h, dcb);
  ApplyLineSettings(dcb);
  bridge_.SetState(h, dcb);
  if (bridge_.SetEventMask(h, kEvRxChar)) {
    state_.CurrentDeviceMode.store(kModeStandard);  // a fresh device starts in Standard mode
    return kLinkConfigured;
  }
  // A device pulled out while it was being set up is no failure to report: its going (and
  // whatever takes its place) brings another connection check.
  if (!bridge_.DeviceGone(h)) {
    const uint32_t error = bridge_.LastError(h);
    char text[96];
    std::snprintf(text, sizeof text, "Could not set comm mask. Restart the app.\nError=%d", static_cast<int>(error));
    messages_.ShowMessage(text, MessageIcon::kError);
  }
  bridge_.Purge(h, kPurgeAll);
  bridge_.Close(h);
  state_.CurrentDeviceMode.store(kModeNone);
  return kLinkEventMaskFailed;
}

void SerialLink::CloseDevice() {
  StopSettling();
  unitConnection_.Reset();  // the read thread must not take the closed link for a live one
  const BridgeHandle h = link_.Handle.exchange(kInvalidBridgeHandle);
  if (h != kInvalidBridgeHandle) {
    bridge_.Purge(h, kPurgeAll);
    bridge_.Close(h);
  }
  state_.CurrentDeviceMode.store(kModeNone);
  WakeWaiters();
  feedback_.Clear();
  connectedDescription_ = -1;
}

bool SerialLink::WriteDevice(const uint8_t* bytes, uint32_t count) {
  std::lock_guard lock(writeMutex_);  // writers behind a stalled message wait here
  uint32_t done = 0;
  int stalls = 0;
  while (done < count) {
    const BridgeHandle h = link_.Handle.load();
    if (h == kInvalidBridgeHandle) return false;
    uint32_t moved = 0;
    if (!WriteOnce(h, bytes + done, count - done, moved)) return false;
    moved = std::min(moved, count - done);
    done += moved;
    NoteSent(moved);
    if (moved > 0) {
      stalls = 0;
      continue;
    }
    if (done == 0) return false;  // not begun: dropped whole
    if (++stalls == kStallLimit) {
      bridge_.Purge(h, kPurgeTransmit);
      return false;
    }
  }
  return true;
}

void SerialLink::NoteSent(uint32_t count) {
  using Clock = std::chrono::steady_clock;
  if (count == 0) return;
  // Writers take turns under writeMutex_; the feedback writer only reads.
  const auto busyFrom = std::max(Clock::now(), LineFreeAt());
  lineFreeAt_.store((busyFrom + count * kByteTime).time_since_epoch().count(), std::memory_order_relaxed);
}

std::chrono::steady_clock::time_point SerialLink::LineFreeAt() const {
  using Clock = std::chrono::steady_clock;
  return Clock::time_point(Clock::duration(lineFreeAt_.load(std::memory_order_relaxed)));
}

void SerialLink::QueueFeedback(const uint8_t* bytes, uint32_t count) {
  if (link_.IsOpen()) feedback_.Queue(bytes, count);
}

bool SerialLink::WriteOnce(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& moved) {
  Overlapped& ov = link_.WriteOverlapped;
  moved = 0;
  if (bridge_.Write(h, bytes, count, moved, ov)) return true;
  if (!ov.Event.Wait()) return false;
  // Woken by a disconnection (or the link changed under us): the write is lost.
  if (link_.Handle.load() != h) return false;
  return bridge_.OverlappedResult(h, ov, moved);
}

}  // namespace orvo
