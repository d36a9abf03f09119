// Parsing and dispatching allocate nothing once the reader runs: every operator new of
// this test program is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/reader_fixture.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC with the sanitizers takes these for a mismatch with the operator new above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace orvo {
namespace {

// Takes every message and keeps nothing, as the real dispatch does.
struct NullDispatch : DispatchTarget {
  long shorts = 0;
  long longs = 0;
  int DispatchShortMessage(const ControlDescriptor*, uint32_t) override { ++shorts; return 0; }
  int DispatchLongMessage(MidiHeader* buffer) override {
    ++longs;
    SysExPool::GiveBackToOwner(buffer);
    return 0;
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
  MessageReader reader(rig.bridge, rig.link, rig.state, rig.pool.get(), dispatch, device);
  rig.state.CurrentDeviceMode = kModeHost;
  const uint8_t stream[] = {0xBE, 0x40, 0x7F, 0xBF, 0x03, 0x40, 0xBD, 0x05, 0x7F, 0xF0,
                            0x15, 0x29, 0x01, 0xF7, 0xBF, 0x60, 0x41, 0xBE, 0x56, 0x7F};
  reader.Store(stream, sizeof stream);  // warm up
  reader.Parse();

  const long before = g_allocations.load();
  for (int i = 0; i < 10000; ++i) {
    reader.Store(stream, sizeof stream);
    reader.Parse();
  }
  EXPECT_EQ(g_allocations.load() - before, 0);
  EXPECT_EQ(dispatch.shorts, 10001 * 5);
  EXPECT_EQ(dispatch.longs, 10001);
}

}  // namespace
}  // namespace orvo
