// The reader's hot path: bytes from the bridge's queue to dispatch, with the lookup in
// Host mode and a dispatch that takes every message.
#include <benchmark/benchmark.h>

#include <vector>

#include "link/device_link.h"
#include "link/read_loop.h"
#include "os/fake/counting_sinks.h"
#include "os/fake/fake_bridge.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"

namespace orvo {
namespace {

// A realistic mix: faders, buttons, pots, the wheel and now and then a sysex.
std::vector<uint8_t> Traffic(std::size_t bytes) {
  const uint8_t pattern[] = {0xBF, 0x03, 0x40, 0xBD, 0x05, 0x7F, 0xBF, 0x43, 0x41, 0xBE, 0x4C, 0x7F,
                             0xBF, 0x60, 0x01, 0xBE, 0x4C, 0x00, 0xBF, 0x10, 0x22, 0xF0, 0x15, 0x29,
                             0x01, 0xF7, 0xBD, 0x45, 0x00, 0xBF, 0x1F, 0x7F};
  std::vector<uint8_t> out;
  while (out.size() + sizeof pattern <= bytes) out.insert(out.end(), pattern, pattern + sizeof pattern);
  return out;
}

void BM_ReaderStoreAndParse(benchmark::State& state) {
  ProtocolState protocol;
  protocol.CurrentDeviceMode = state.range(0);
  auto pool = SysExPool::Create();
  test::CountingDispatch dispatch;
  test::CountingDevice device;
  MessageDecoder reader(protocol, pool.get(), dispatch, device);
  const auto chunk = Traffic(960);
  for (auto _ : state) {
    reader.Store(chunk.data(), chunk.size());
    reader.Parse();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_ReaderStoreAndParse)->Arg(1)->Arg(2)->ArgName("mode");

// The whole pass, draining the bridge's queue (the in-memory bridge stands in for it).
void BM_ReaderPassThroughBridge(benchmark::State& state) {
  FakeBridge bridge;
  bridge.AddDevice("Orvo Tablan");
  DeviceLink link;
  link.Handle = bridge.OpenByDescription("Orvo Tablan");
  ProtocolState protocol;
  protocol.CurrentDeviceMode = kModeHost;
  auto pool = SysExPool::Create();
  test::CountingDispatch dispatch;
  test::CountingDevice device;
  MessageDecoder decoder(protocol, pool.get(), dispatch, device);
  ReadLoop reader(bridge, link, decoder);
  ManualResetEvent connected(true);
  std::atomic<bool> stop{false};
  const auto chunk = Traffic(960);
  for (auto _ : state) {
    bridge.Feed(chunk);
    reader.RunPass(connected, stop);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_ReaderPassThroughBridge);

}  // namespace
}  // namespace orvo
