// Parsing and dispatching allocate nothing once the reader runs: every operator new of
// this test program is counted.
#include <gtest/gtest.h>

#include "support/counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "os/fake/counting_sinks.h"
#include "support/reader_fixture.h"


namespace orvo {
namespace {

TEST(ReaderAllocation, NoHeapAllocationPerMessage) {
  test::ReaderRig rig;
  test::CountingDispatch dispatch;
  test::CountingDevice device;
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
