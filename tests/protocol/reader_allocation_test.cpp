// Parsing and dispatching allocate nothing once the reader runs: every operator new of
// this test program is counted.
#include <gtest/gtest.h>

#include "support/counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/reader_fixture.h"


namespace orvo {
namespace {

// Takes every message and keeps nothing, as the real dispatch does.
struct NullDispatch : DispatchTarget {
  long shorts = 0;
  long longs = 0;
  DispatchResult DispatchShortMessage(const ControlDescriptor*, uint32_t) override { ++shorts; return DispatchResult::kTaken; }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    ++longs;
    SysExPool::GiveBackToOwner(buffer);
    return DispatchResult::kTaken;
  }
};

struct NullDevice : DeviceWriter {
  bool WriteDevice(const uint8_t*, uint32_t) override { return true; }
  void PurgeDevice() override {}
};

TEST(ReaderAllocation, NoHeapAllocationPerMessage) {
  test::ReaderRig rig;
  NullDispatch dispatch;
  NullDevice device;
  MessageDecoder reader(rig.state, rig.pool.get(), dispatch, device);
  rig.state.CurrentDeviceMode = kModeHost;
  const uint8_t stream[] = {0xBE, 0x40, 0x7F, 0xBF, 0x03, 0x40, 0xBD, 0x05, 0x7F, 0xF0,
                            0x15, 0x29, 0x01, 0xF7, 0xBF, 0x60, 0x41, 0xBE, 0x56, 0x7F};
  reader.Store(stream, sizeof stream);  // warm up
  reader.Parse();

  const long before = test::Allocations();
  for (int i = 0; i < 10000; ++i) {
    reader.Store(stream, sizeof stream);
    reader.Parse();
  }
  EXPECT_EQ(test::Allocations() - before, 0);
  EXPECT_EQ(dispatch.shorts, 10001 * 5);
  EXPECT_EQ(dispatch.longs, 10001);
}

}  // namespace
}  // namespace orvo
