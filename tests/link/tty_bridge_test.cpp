// The tty bridge over a real pty: discovery through a fake sysfs tree, the last open
// error, exclusive use, the line settings, the overlapped pattern and hang-ups.
#include "os/linux/serial.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "harness/pty_link_rig.h"
#include "sim/sim_surface.h"
#include "support/fake_sysfs.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;

// Waits until `pred` holds, for at most `timeout`.
template <class Pred>
bool Eventually(Pred pred, std::chrono::milliseconds timeout = 2s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

void Configure(TtyBridge& bridge, BridgeHandle h) {
  DeviceControlBlock dcb;
  ASSERT_TRUE(bridge.GetState(h, dcb));
  dcb.BaudRate = 38400;
  dcb.ByteSize = 8;
  ASSERT_TRUE(bridge.SetState(h, dcb));
  ASSERT_TRUE(bridge.SetEventMask(h, kEvRxChar));
}

TEST(TtyBridgeTest, FindsTheTtyByItsUsbProductString) {
  sim::SimSurface surface;
  test::FakeSysfs sysfs;
  sysfs.AddVirtualTty("tty1");
  sysfs.AddUsbTty("ttyUSB0", "Orvo Tablan Mk2", surface.SlavePath(), 1);  // not an exact match
  sysfs.AddUsbTty("ttyUSB1", "Orvo Tablan", surface.SlavePath(), 2);
  TtyBridge bridge({sysfs.Sys(), sysfs.Dev()});

  EXPECT_EQ(bridge.OpenByDescription("USB <-> Serial"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);
  EXPECT_EQ(bridge.OpenByDescription("Quorrel Orvo Tablan"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);

  // Busy now: present, but not openable, so the error is not 0.
  EXPECT_EQ(bridge.OpenByDescription("Orvo Tablan"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), static_cast<uint32_t>(EBUSY));
  EXPECT_TRUE(bridge.Close(h));
  EXPECT_FALSE(bridge.Close(h));
}

TEST(TtyBridgeTest, AVanishedNodeCountsAsAbsent) {
  sim::SimSurface surface;
  test::FakeSysfs sysfs;
  sysfs.AddUsbTty("ttyUSB0", "USB <-> Serial", sysfs.Root() + "/no-such-node");
  TtyBridge bridge({sysfs.Sys(), sysfs.Dev()});
  EXPECT_EQ(bridge.OpenByDescription("USB <-> Serial"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);
  // A node that is not a tty is present but unusable.
  sysfs.SetNode("ttyUSB0", "/dev/null");
  EXPECT_EQ(bridge.OpenByDescription("USB <-> Serial"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), static_cast<uint32_t>(ENOTTY));
}

TEST(TtyBridgeTest, DevicePathStandsForEveryDescription) {
  test::TempDir dir;
  sim::SimSurface surface(dir.Path() + "/surface");
  TtyBridge bridge;
  bridge.SetDevicePath(surface.DevicePath());
  EXPECT_TRUE(bridge.WatchingDevicePath());
  for (const char* description : {"USB <-> Serial", "Orvo Tablan", "Quorrel Orvo Tablan"}) {
    const BridgeHandle h = bridge.OpenByDescription(description);
    ASSERT_NE(h, kInvalidBridgeHandle) << description;
    bridge.Close(h);
  }
  surface.Unplug();
  EXPECT_EQ(bridge.OpenByDescription("Orvo Tablan"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);
}

TEST(TtyBridgeTest, SetsRaw38400EightNone) {
  sim::SimSurface surface;
  TtyBridge bridge;
  bridge.SetDevicePath(surface.SlavePath());
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  DeviceControlBlock dcb;
  dcb.BaudRate = 38400;
  dcb.OutX = dcb.InX = false;
  ASSERT_TRUE(bridge.SetState(h, dcb));
  DeviceControlBlock read;
  ASSERT_TRUE(bridge.GetState(h, read));
  EXPECT_EQ(read.BaudRate, 38400u);
  EXPECT_EQ(read.ByteSize, 8);
  EXPECT_EQ(read.Parity, 0);
  EXPECT_EQ(read.StopBits, 0);
  EXPECT_FALSE(read.OutxCtsFlow || read.OutX || read.InX);
  dcb.BaudRate = 12345;  // no such rate
  EXPECT_FALSE(bridge.SetState(h, dcb));
  EXPECT_EQ(bridge.LastError(h), static_cast<uint32_t>(EINVAL));
  bridge.Close(h);
}

TEST(TtyBridgeTest, PendingWaitCompletesWhenBytesArrive) {
  sim::SimSurface surface;
  TtyBridge bridge;
  bridge.SetDevicePath(surface.SlavePath());
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  Configure(bridge, h);

  Overlapped wait, read;
  uint32_t events = 0, transferred = 0;
  ASSERT_FALSE(bridge.WaitEvent(h, events, wait));  // nothing there: pends
  EXPECT_FALSE(bridge.OverlappedResult(h, wait, transferred));
  EXPECT_FALSE(wait.Event.WaitFor(20ms));
  ASSERT_TRUE(surface.Send({0xBE, 0x4C, 0x7F}));
  ASSERT_TRUE(wait.Event.WaitFor(2s));
  EXPECT_TRUE(bridge.OverlappedResult(h, wait, transferred));

  uint32_t pending = 0;
  ASSERT_TRUE(Eventually([&] { return bridge.QueueStatus(h, pending) && pending == 3; }));
  uint8_t bytes[3] = {};
  uint32_t got = 0;
  ASSERT_TRUE(bridge.Read(h, bytes, 3, got, read));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(bytes[1], 0x4C);
  // Bytes already there: the wait completes at once.
  ASSERT_TRUE(surface.Send({0xF8}));
  ASSERT_TRUE(Eventually([&] { return bridge.WaitEvent(h, events, wait); }));
  EXPECT_EQ(events, kEvRxChar);
  bridge.Close(h);
}

TEST(TtyBridgeTest, ReadOfMoreThanArrivedCompletesShortAfterItsTimeOut) {
  sim::SimSurface surface;
  TtyBridge bridge;
  bridge.SetDevicePath(surface.SlavePath());
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  Configure(bridge, h);
  bridge.SetTimeouts(h, {0, 0, 30, 0, 200});

  Overlapped read;
  uint8_t bytes[8] = {};
  uint32_t got = 0, transferred = 0;
  ASSERT_TRUE(surface.Send({1, 2}));
  uint32_t pending = 0;
  ASSERT_TRUE(Eventually([&] { return bridge.QueueStatus(h, pending) && pending == 2; }));
  ASSERT_FALSE(bridge.Read(h, bytes, 4, got, read));  // two of four: pends
  ASSERT_TRUE(surface.Send({3}));
  ASSERT_TRUE(read.Event.WaitFor(2s));
  EXPECT_TRUE(bridge.OverlappedResult(h, read, transferred));
  EXPECT_EQ(transferred, 3u);
  EXPECT_EQ(bytes[2], 3);
  bridge.Close(h);
}

TEST(TtyBridgeTest, WritesReachTheSurface) {
  sim::SimSurface surface;
  TtyBridge bridge;
  bridge.SetDevicePath(surface.SlavePath());
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  Configure(bridge, h);
  Overlapped write;
  const uint8_t bytes[] = {0xF0, 0x15, 0x29, 0x01, 0xF7};
  uint32_t written = 0;
  ASSERT_TRUE(bridge.Write(h, bytes, 5, written, write));
  EXPECT_EQ(written, 5u);
  ASSERT_TRUE(surface.WaitForReceived(5, 2s));
  EXPECT_EQ(surface.Received(), std::vector<uint8_t>(bytes, bytes + 5));
  bridge.Close(h);
}

TEST(TtyBridgeTest, HangUpIsReportedAndNeverSpins) {
  sim::SimSurface surface;
  TtyBridge bridge;
  std::atomic<int> changes{0};
  bridge.SetDeviceChangeCallback([&] { ++changes; });
  bridge.SetDevicePath(surface.SlavePath());
  const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
  ASSERT_NE(h, kInvalidBridgeHandle);
  Configure(bridge, h);

  Overlapped wait, read, write;
  uint32_t events = 0, transferred = 0, count = 0;
  ASSERT_FALSE(bridge.WaitEvent(h, events, wait));
  surface.Unplug();
  // Reported by the port, and by the path watcher as the pty's node goes.
  ASSERT_TRUE(Eventually([&] { return changes.load() >= 1; }));
  std::this_thread::sleep_for(50ms);
  const int reported = changes.load();

  // The pending wait stays pending, and so does a new one: a reader sleeps, not spins.
  EXPECT_FALSE(wait.Event.WaitFor(50ms));
  EXPECT_FALSE(bridge.WaitEvent(h, events, wait));
  EXPECT_FALSE(wait.Event.WaitFor(50ms));
  uint32_t pending = 0;
  EXPECT_FALSE(bridge.QueueStatus(h, pending));
  uint8_t bytes[3] = {1, 2, 3};
  EXPECT_FALSE(bridge.Read(h, bytes, 3, count, read));
  EXPECT_TRUE(read.Event.IsSet());  // failed at once, not pending
  EXPECT_FALSE(bridge.OverlappedResult(h, read, transferred));
  EXPECT_FALSE(bridge.Write(h, bytes, 3, count, write));
  EXPECT_TRUE(write.Event.IsSet());
  EXPECT_FALSE(bridge.SetEventMask(h, kEvRxChar));

  const auto cpuBefore = test::ProcessCpuTime();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(test::ProcessCpuTime() - cpuBefore, 30ms);
  EXPECT_EQ(changes.load(), reported);

  EXPECT_TRUE(bridge.Close(h));  // ends the pending wait, failed
  EXPECT_TRUE(wait.Event.IsSet());
  EXPECT_FALSE(bridge.OverlappedResult(h, wait, transferred));
}

TEST(TtyBridgeTest, DevicePathReappearingIsReported) {
  test::TempDir dir;
  sim::SimSurface surface(dir.Path() + "/surface");
  TtyBridge bridge;
  std::atomic<int> changes{0};
  bridge.SetDeviceChangeCallback([&] { ++changes; });
  bridge.SetDevicePath(surface.DevicePath());
  surface.Unplug();
  ASSERT_TRUE(Eventually([&] { return changes.load() >= 1; }));  // the link went
  const int before = changes.load();
  surface.Replug();
  ASSERT_TRUE(Eventually([&] { return changes.load() > before; }));
  const BridgeHandle h = bridge.OpenByDescription("USB <-> Serial");
  EXPECT_NE(h, kInvalidBridgeHandle);
  bridge.Close(h);
}

TEST(TtyBridgeTest, OpenAndCloseLeaveNoDescriptors) {
  sim::SimSurface surface;
  const auto fds = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  TtyBridge bridge;
  bridge.SetDevicePath(surface.SlavePath());
  const auto before = fds();
  for (int i = 0; i < 20; ++i) {
    const BridgeHandle h = bridge.OpenByDescription("Orvo Tablan");
    ASSERT_NE(h, kInvalidBridgeHandle);
    ASSERT_TRUE(bridge.Close(h));
  }
  EXPECT_EQ(fds(), before);
  EXPECT_EQ(bridge.OpenHandles(), 0);
}

}  // namespace
}  // namespace orvo
