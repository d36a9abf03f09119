#pragma once
// The read loop and decoder wired to an in-memory bridge, a recording dispatch and a recording device,
// connected, with a pool of `poolSize` buffers.
#include <atomic>
#include <memory>
#include <vector>

#include "link/device_link.h"
#include "link/read_loop.h"
#include "os/fake/fake_bridge.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_dispatch.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

struct ReaderRig {
  explicit ReaderRig(uint32_t poolSize = SysExPool::kDefaultCount)
      : pool(SysExPool::Create(poolSize)),
        decoder(state, pool.get(), dispatch, device),
        reader(bridge, link, decoder) {
    bridge.AddDevice("Orvo Tablan");
    link.Handle = bridge.OpenByDescription("Orvo Tablan");
    connected.Set();
  }
  // Feeds bytes to the bridge and runs passes of the reader until it has read them all
  // (none for no bytes: the pass would wait for them).
  void Receive(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    bridge.Feed(bytes);
    do reader.RunPass(connected, stop);
    while (bridge.Pending() > 0);
  }
  std::vector<uint32_t> Messages() const {
    std::vector<uint32_t> out;
    for (const auto& s : dispatch.taken) out.push_back(s.message);
    return out;
  }

  FakeBridge bridge;
  DeviceLink link;
  ProtocolState state;
  std::unique_ptr<SysExPool> pool;
  RecordingDispatch dispatch;
  RecordingDevice device;
  ManualResetEvent connected;
  std::atomic<bool> stop{false};
  MessageDecoder decoder;
  ReadLoop reader;
};

}  // namespace orvo::test
