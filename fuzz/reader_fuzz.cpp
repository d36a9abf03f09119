// Arbitrary bytes in arbitrary splits, in Host or Standard mode, with a dispatch that
// sometimes refuses: the reader never overruns anything, never loses a pool buffer, and
// takes every message it is offered exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/device_link.h"
#include "link/read_loop.h"
#include "os/fake/fake_bridge.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"

namespace {

using namespace orvo;

struct FickleDispatch : DispatchTarget {
  uint32_t seed = 1;
  bool Refuse() {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % 4 == 0;
  }
  DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t) override {
    if (row && (row->id < kFirstControlId || row->id > kLastControlId)) std::abort();
    return Refuse() ? DispatchResult::kBusy : DispatchResult::kTaken;
  }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    const uint32_t n = buffer->bytesRecorded;
    if (n < 2 || n > 16 || n != buffer->bufferLength) std::abort();
    if (buffer->data[0] != 0xF0 || buffer->data[n - 1] != 0xF7) std::abort();
    if (Refuse()) return (seed & 1) ? DispatchResult::kBusy : DispatchResult::kRefused;
    SysExPool::GiveBackToOwner(buffer);
    return DispatchResult::kTaken;
  }
};

struct CountingDevice : DeviceWriter {
  bool WriteDevice(const uint8_t*, uint32_t count) override { return count == 3; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FakeBridge bridge;
  bridge.AddDevice("Orvo Tablan");
  DeviceLink link;
  link.Handle = bridge.OpenByDescription("Orvo Tablan");
  ProtocolState state;
  state.CurrentDeviceMode = (data[0] & 1) ? kModeHost : kModeStandard;
  auto pool = SysExPool::Create(8, 16);
  FickleDispatch dispatch;
  dispatch.seed = data[1];
  CountingDevice device;
  MessageDecoder decoder(state, pool.get(), dispatch, device);
  ReadLoop reader(bridge, link, decoder);
  ManualResetEvent connected(true);
  std::atomic<bool> stop{false};

  // The first byte of each piece says how long the piece is.
  std::size_t at = 2;
  while (at < size) {
    const std::size_t piece = std::min<std::size_t>(1 + data[at] % 64, size - at - 1);
    ++at;
    if (piece == 0) break;  // a pass with nothing to read would wait for bytes
    bridge.Feed(std::vector<uint8_t>(data + at, data + at + piece));
    reader.RunPass(connected, stop);
    at += piece;
    if (pool->Count() != pool->Capacity()) std::abort();  // every buffer came back
    if (state.BankLayer > 1 || state.ShiftLayer > 1) std::abort();
  }
  return 0;
}
