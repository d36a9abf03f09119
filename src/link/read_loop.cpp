#include "link/read_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orvo {
namespace {
// While a system-exclusive message waits for a pool buffer, look again this often.
constexpr auto kPoolRetryInterval = std::chrono::milliseconds(1);
}  // namespace

ReadLoop::ReadLoop(Bridge& bridge, DeviceLink& link, MessageDecoder& decoder)
    : bridge_(bridge), link_(link), decoder_(decoder) {}

void ReadLoop::Run(ManualResetEvent& unitConnection, const std::atomic<bool>& stop) {
  while (!stop.load()) RunPass(unitConnection, stop);
}

void ReadLoop::RunPass(ManualResetEvent& unitConnection, const std::atomic<bool>& stop) {
  if (!unitConnection.Wait(&stop)) return;
  const BridgeHandle handle = link_.Handle.load();
  if (handle == kInvalidBridgeHandle) {
    // Connected flag and handle disagree only for a moment during a disconnection.
    std::this_thread::yield();
    return;
  }

  if (decoder_.StalledOnPool()) {
    // Buffers come back from the MIDI output on its own thread: look again shortly
    // instead of waiting for more bytes that may never come.
    std::this_thread::sleep_for(kPoolRetryInterval);
  } else {
    uint32_t events = 0;
    if (!bridge_.WaitEvent(handle, events, link_.WaitOverlapped)) {
      uint32_t ignored = 0;
      if (!AwaitOverlapped(handle, link_.WaitOverlapped, ignored, stop)) return;
    }
  }
  if (!Drain(handle, stop)) return;
  decoder_.Parse(&stop);
}

bool ReadLoop::AwaitOverlapped(BridgeHandle handle, Overlapped& ov, uint32_t& transferred,
                               const std::atomic<bool>& stop) {
  if (!ov.Event.Wait(&stop)) return false;
  if (!link_.IsOpen()) return false;
  return bridge_.OverlappedResult(handle, ov, transferred);
}

// Reads the whole receive queue into the ring, each piece bounded to the room before the
// ring's end and to the free space. False when the pass must end without parsing.
bool ReadLoop::Drain(BridgeHandle handle, const std::atomic<bool>& stop) {
  uint32_t pending = 0;
  if (!bridge_.QueueStatus(handle, pending)) return false;
  while (pending != 0) {
    const std::span<uint8_t> room = decoder_.WritableRun();
    if (room.empty()) break;  // full of unparsed bytes: parse first, the rest waits in the bridge
    const uint32_t request = static_cast<uint32_t>(std::min<std::size_t>(pending, room.size()));
    if (!link_.IsOpen()) return false;
    uint32_t got = 0;
    if (!bridge_.Read(handle, room.data(), request, got, link_.ReadOverlapped) &&
        !AwaitOverlapped(handle, link_.ReadOverlapped, got, stop)) {
      return false;
    }
    got = std::min(got, request);
    decoder_.Commit(got);
    // A short read keeps what did arrive; the rest is asked for in the next pass.
    if (got < request) break;
    pending -= got;
  }
  return true;
}

}  // namespace orvo
