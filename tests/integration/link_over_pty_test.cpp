// The link end to end over a real pty: the simulated surface, the tty bridge, the serial
// link and the reader on its read thread; unplug and replug as a user does it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "harness/pty_link_rig.h"
#include "protocol/device_modes.h"
#include "protocol/short_message.h"
#include "support/case_names.h"
#include "support/fake_sysfs.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using test::kConnectCalls;
using test::kDisconnectCalls;
using test::PtyLinkRig;

long OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

// CPU time the read thread and the whole process spend over `span` of idleness.
struct IdleCpu {
  std::chrono::microseconds reader, process;
};
IdleCpu MeasureIdle(PtyLinkRig& rig, std::chrono::milliseconds span) {
  const auto reader = test::ThreadCpuTime(rig.readThread);
  const auto process = test::ProcessCpuTime();
  std::this_thread::sleep_for(span);
  return {test::ThreadCpuTime(rig.readThread) - reader, test::ProcessCpuTime() - process};
}

void Connect(PtyLinkRig& rig) {
  rig.link.CheckConnection();
  ASSERT_TRUE(rig.IsConnected());
}

TEST(LinkOverPtyTest, ConnectingSetsUpTheLinkInOrder) {
  PtyLinkRig rig;
  Connect(rig);
  EXPECT_EQ(rig.hooks.Calls(), kConnectCalls);
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeStandard);
  EXPECT_TRUE(rig.connected.IsSet());
  EXPECT_EQ(rig.hooks.focusStates.load(), 1);
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);
  // A second check while connected finds our device busy and changes nothing.
  rig.hooks.ClearCalls();
  rig.link.CheckConnection();
  EXPECT_TRUE(rig.hooks.Calls().empty());
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);
}

TEST(LinkOverPtyTest, SurfaceBytesReachDispatchInOrder) {
  PtyLinkRig rig;
  Connect(rig);
  std::vector<uint32_t> expected;
  // A message split over three writes.
  ASSERT_TRUE(rig.surface.Send({0xBF}));
  std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(rig.surface.Send({0x03}));
  std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(rig.surface.Send({0x40}));
  expected.push_back(PackShortMessage(0xBF, 0x03, 0x40));
  ASSERT_TRUE(rig.dispatch.WaitForShort(1));
  // A burst larger than the reader's ring, in one write.
  std::vector<uint8_t> burst;
  for (int i = 0; i < 1000; ++i) {
    const uint8_t fader = static_cast<uint8_t>(i % 32), value = static_cast<uint8_t>(i % 128);
    burst.insert(burst.end(), {0xBF, fader, value});
    expected.push_back(PackShortMessage(0xBF, fader, value));
  }
  ASSERT_TRUE(rig.surface.Send(burst));
  // A system-exclusive message in two pieces between two short ones.
  ASSERT_TRUE(rig.surface.Send({0xBE, 0x4C, 0x7F, 0xF0, 0x15}));
  std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(rig.surface.Send({0x29, 0xF7, 0xBE, 0x4C, 0x00}));
  expected.push_back(PackShortMessage(0xBE, 0x4C, 0x7F));
  expected.push_back(PackShortMessage(0xBE, 0x4C, 0x00));

  ASSERT_TRUE(rig.dispatch.WaitForShort(expected.size()));
  ASSERT_TRUE(rig.dispatch.WaitForLong(1));
  EXPECT_EQ(rig.dispatch.ShortMessages(), expected);
  EXPECT_EQ(rig.dispatch.LongMessages()[0], (std::vector<uint8_t>{0xF0, 0x15, 0x29, 0xF7}));
}

TEST(LinkOverPtyTest, WritesFromManyThreadsArriveWhole) {
  PtyLinkRig rig;
  Connect(rig);
  constexpr int kThreads = 4, kWrites = 300;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kWrites; ++i) {
        // Each write is five bytes that name its thread: interleaving would show.
        const uint8_t tag = static_cast<uint8_t>(0xB0 + t);
        const uint8_t bytes[5] = {tag, tag, tag, tag, static_cast<uint8_t>(i & 0x7F)};
        if (!rig.link.WriteDevice(bytes, 5)) ++failures;
      }
    });
  }
  for (auto& w : writers) w.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_TRUE(rig.surface.WaitForReceived(kThreads * kWrites * 5, 5s));
  const auto received = rig.surface.Received();
  ASSERT_EQ(received.size(), std::size_t{kThreads * kWrites * 5});
  for (std::size_t at = 0; at < received.size(); at += 5) {
    ASSERT_EQ(received[at], received[at + 1]) << at;
    ASSERT_EQ(received[at], received[at + 3]) << at;
  }
}

// Two applications write three-byte messages at ten times the line's rate while the far
// side reads only 3,840 bytes a second: what arrives is whole messages, never a cut one.
TEST(LinkOverPtyTest, MessagesToASlowLineArriveWhole) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  ASSERT_GE(master, 0);
  char slave[128];
  ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0 && ptsname_r(master, slave, sizeof slave) == 0);
  test::FakeSysfs sysfs;
  PtyLinkRig rig(TtyBridgeOptions{sysfs.Sys(), sysfs.Dev()});
  sysfs.AddUsbTty("ttyUSB0", "Orvo Tablan", slave);
  Connect(rig);

  std::atomic<bool> stop{false};
  std::atomic<int> running{2};
  std::vector<std::thread> applications;
  for (const uint8_t status : {0xB0, 0xB1}) {
    applications.emplace_back([&, status] {
      for (uint8_t value = 0; !stop; value = static_cast<uint8_t>((value + 1) & 0x7F)) {
        const uint8_t message[3] = {status, 0x07, value};
        rig.link.WriteDevice(message, 3);
        if (value % 7 == 0) std::this_thread::sleep_for(1ms);  // about 19,000 bytes a second each
      }
      --running;
    });
  }
  std::vector<uint8_t> received;
  auto readAtMost = [&](std::size_t limit) {
    uint8_t chunk[4096];
    const ssize_t n = read(master, chunk, std::min(limit, sizeof chunk));
    if (n > 0) received.insert(received.end(), chunk, chunk + n);
    return n > 0;
  };
  for (int tick = 0; tick < 30; ++tick) {
    readAtMost(384);
    std::this_thread::sleep_for(100ms);
  }
  // The line drains at full speed while the applications finish what they began.
  stop = true;
  while (running > 0 || readAtMost(4096)) {
    readAtMost(4096);
    std::this_thread::sleep_for(10ms);
  }
  for (auto& application : applications) application.join();
  close(master);

  ASSERT_GT(received.size(), 3000u);
  ASSERT_EQ(received.size() % 3, 0u);
  for (std::size_t at = 0; at < received.size(); at += 3) {
    ASSERT_TRUE(received[at] == 0xB0 || received[at] == 0xB1) << "byte " << at;
    ASSERT_EQ(received[at + 1], 0x07) << "byte " << at;
    ASSERT_LT(received[at + 2], 0x80) << "byte " << at;
  }
}

TEST(LinkOverPtyTest, UnplugDisconnectsAndTheReaderSleeps) {
  PtyLinkRig rig;
  Connect(rig);
  ASSERT_TRUE(rig.surface.Send({0xBE, 0x4C, 0x7F}));
  ASSERT_TRUE(rig.dispatch.WaitForShort(1));
  rig.hooks.ClearCalls();

  rig.surface.Unplug();
  // Before the main thread has run the check, the hung-up tty must not make anybody spin.
  std::this_thread::sleep_for(50ms);
  const IdleCpu hungUp = MeasureIdle(rig, 500ms);
  EXPECT_LT(hungUp.reader, 10ms);
  EXPECT_LT(hungUp.process, 40ms);
  EXPECT_TRUE(rig.IsConnected());  // nobody has run the check yet

  ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.IsDisconnected(); }));
  EXPECT_EQ(rig.hooks.Calls(), kDisconnectCalls);
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeNone);
  EXPECT_EQ(rig.hooks.focusStates.load(), 0);
  EXPECT_FALSE(rig.connected.IsSet());
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  const uint8_t lamp[3] = {0xBE, 0x40, 0x7F};
  EXPECT_FALSE(rig.link.WriteDevice(lamp, 3));

  const IdleCpu idle = MeasureIdle(rig, 500ms);
  EXPECT_LT(idle.reader, 10ms);
  EXPECT_LT(idle.process, 40ms);
}

TEST(LinkOverPtyTest, ReplugReconnectsByItself) {
  PtyLinkRig rig;
  Connect(rig);
  rig.surface.Unplug();
  ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.IsDisconnected(); }));
  rig.hooks.ClearCalls();

  rig.surface.Replug();
  ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.IsConnected(); }));
  EXPECT_EQ(rig.hooks.Calls(), kConnectCalls);
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeStandard);
  ASSERT_TRUE(rig.surface.Send({0xBE, 0x4C, 0x7F}));
  ASSERT_TRUE(rig.dispatch.WaitForShort(1));
  const uint8_t lamp[3] = {0xBE, 0x4F, 0x7F};
  EXPECT_TRUE(rig.link.WriteDevice(lamp, 3));
  ASSERT_TRUE(rig.surface.WaitForReceived(3, 2s));
}

// A surface swapped quickly at the same path: the tty we hold hangs up and a new one takes
// its place, with the main thread's check running after each change or only after both.
struct SwapCase {
  const char* what;
  std::chrono::milliseconds gap;  // between the hang-up and the new tty
  bool checkOnlyAfterBoth;        // the new tty is there before the hang-up is looked at
};

class QuickSwap : public ::testing::TestWithParam<SwapCase> {};

TEST_P(QuickSwap, MovesToTheNewTtyAndEveryPressArrives) {
  PtyLinkRig rig;
  Connect(rig);
  std::size_t presses = 0;
  for (int swap = 1; swap <= 3; ++swap) {
    rig.hooks.ClearCalls();
    rig.surface.Unplug();
    std::this_thread::sleep_for(GetParam().gap);
    ASSERT_TRUE(rig.surface.Replug());
    if (GetParam().checkOnlyAfterBoth) rig.link.CheckConnection();
    const auto expected = test::Then(kDisconnectCalls, kConnectCalls);
    ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.hooks.Calls() == expected; })) << "swap " << swap;
    EXPECT_EQ(rig.bridge.OpenHandles(), 1);
    ASSERT_TRUE(rig.surface.Send({0xBE, 0x4C, 0x7F}));
    ASSERT_TRUE(rig.dispatch.WaitForShort(++presses)) << "swap " << swap;
  }
  EXPECT_TRUE(rig.messages.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(LinkOverPtyTest, QuickSwap,
                         ::testing::Values(SwapCase{"no gap", 0ms, false}, SwapCase{"five ms", 5ms, false},
                                           SwapCase{"new tty before the check", 0ms, true},
                                           SwapCase{"five ms then one check", 5ms, true}),
                         test::NameFromWhat{});

TEST(LinkOverPtyTest, HundredUnplugCyclesLeaveNothingBehind) {
  PtyLinkRig rig;
  Connect(rig);
  ASSERT_TRUE(rig.surface.Send({0xBF, 0x00, 0x00}));
  ASSERT_TRUE(rig.dispatch.WaitForShort(1));
  const long descriptors = OpenDescriptors();

  constexpr int kCycles = 100;
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    rig.surface.Unplug();
    ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.IsDisconnected(); })) << "cycle " << cycle;
    ASSERT_EQ(rig.bridge.OpenHandles(), 0);
    rig.surface.Replug();
    ASSERT_TRUE(rig.RunChecksUntil([&] { return rig.IsConnected(); })) << "cycle " << cycle;
    const uint8_t value = static_cast<uint8_t>(cycle);
    ASSERT_TRUE(rig.surface.Send({0xBF, 0x01, value}));
    ASSERT_TRUE(rig.dispatch.WaitForShort(static_cast<std::size_t>(cycle) + 1)) << "cycle " << cycle;
    ASSERT_EQ(rig.dispatch.ShortMessages().back(), PackShortMessage(0xBF, 0x01, value));
  }
  EXPECT_EQ(rig.hooks.focusStates.load(), 1);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  const IdleCpu idle = MeasureIdle(rig, 500ms);
  EXPECT_LT(idle.reader, 10ms);
  EXPECT_LT(idle.process, 40ms);
}

TEST(LinkOverPtyTest, DiscoveryBySysfsFindsTheSecondDescription) {
  test::FakeSysfs sysfs;
  PtyLinkRig rig(TtyBridgeOptions{sysfs.Sys(), sysfs.Dev()});
  sysfs.AddUsbTty("ttyUSB0", "Orvo Tablan", rig.surface.SlavePath());
  Connect(rig);
  ASSERT_TRUE(rig.surface.Send({0xBE, 0x4C, 0x7F}));
  ASSERT_TRUE(rig.dispatch.WaitForShort(1));

  // The device is still there but another program holds it: nothing changes.
  rig.hooks.ClearCalls();
  rig.link.CheckConnection();
  EXPECT_TRUE(rig.hooks.Calls().empty());

  // Gone from sysfs: the next check disconnects.
  sysfs.RemoveTty("ttyUSB0");
  rig.surface.Unplug();
  rig.link.CheckConnection();
  EXPECT_EQ(rig.hooks.Calls(), kDisconnectCalls);
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
}

}  // namespace
}  // namespace orvo

namespace orvo {
namespace {

// Switching the mode writes the mode message and the lamp burst while the surface keeps
// sending: every byte written reaches the surface, and every control event the surface
// sent meanwhile reaches dispatch, in order.
TEST(LinkOverPtyTest, ModeSwitchesKeepWhatWasWrittenAndEveryControlEvent) {
  test::PtyLinkRig rig;
  rig.link.CheckConnection();
  ASSERT_TRUE(rig.IsConnected());
  rig.surface.ClearReceived();
  constexpr int kEvents = 600;
  std::vector<uint32_t> expected;
  for (int i = 0; i < kEvents; ++i)
    expected.push_back(PackShortMessage(0xBF, static_cast<uint8_t>(i % 32), static_cast<uint8_t>(i % 128)));
  std::thread touches([&] {
    for (int i = 0; i < kEvents; ++i) {
      rig.surface.Send({0xBF, static_cast<uint8_t>(i % 32), static_cast<uint8_t>(i % 128)});
      if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  std::size_t written = 0;
  for (int i = 0; i < 20; ++i) {
    const int32_t mode = i % 2 == 0 ? kModeHost : kModeStandard;
    ASSERT_EQ(SelectModeForApplication(rig.state, rig.link, mode), kModeDone);
    written += 5 + (mode == kModeHost ? 318 : 0);
  }
  touches.join();
  ASSERT_TRUE(rig.dispatch.WaitForShort(kEvents));
  EXPECT_EQ(rig.dispatch.ShortMessages(), expected);
  ASSERT_TRUE(rig.surface.WaitForReceived(written, std::chrono::seconds(5)));
  const auto received = rig.surface.Received();
  EXPECT_EQ(std::vector<uint8_t>(received.begin(), received.begin() + 5),
            (std::vector<uint8_t>{0xF0, 0x15, 0x29, 0x01, 0xF7}));
  EXPECT_EQ(received.size(), written);
}

}  // namespace
}  // namespace orvo
