// The connection check, configuration and writes of the serial link, over the in-memory
// bridge.
#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "os/fake/fake_bridge.h"
#include "os/fake/queued_main_thread.h"
#include "os/fake/recording_link_hooks.h"
#include "os/fake/recording_messages.h"
#include "support/case_names.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using test::kConnectCalls;
using test::kDisconnectCalls;

struct LinkRig {
  explicit LinkRig(std::chrono::milliseconds settle = 0ms) : link{bridge, state, connected, hooks, messages, settle} {}
  FakeBridge bridge;
  ProtocolState state;
  ManualResetEvent connected;
  test::RecordingLinkHooks hooks;
  RecordingMessages messages;
  SerialLink link;

  // Attempts made since the last call.
  std::vector<std::string> NewAttempts() {
    const auto all = bridge.OpenAttempts();
    std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
    seen = all.size();
    return fresh;
  }
  void ConnectWith(const std::string& description) {
    bridge.AddDevice(description);
    link.CheckConnection();
    ASSERT_TRUE(link.Link().IsOpen());
    NewAttempts();
    hooks.ClearCalls();
  }
  std::size_t seen = 0;
};

TEST(SerialLinkTest, ConnectsWithTheFirstDescriptionThatOpens) {
  LinkRig rig;
  rig.bridge.AddDevice("Orvo Tablan");
  rig.link.CheckConnection();

  EXPECT_EQ(rig.NewAttempts(), (std::vector<std::string>{"USB <-> Serial", "Orvo Tablan"}));
  EXPECT_TRUE(rig.link.Link().IsOpen());
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeStandard);
  EXPECT_TRUE(rig.connected.IsSet());
  EXPECT_EQ(rig.hooks.Calls(), kConnectCalls);
  EXPECT_EQ(rig.hooks.ShownState(), ConnectionState::kConnected);
  EXPECT_TRUE(rig.messages.Texts().empty());
}

TEST(SerialLinkTest, ConfiguresTheLine) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  const DeviceControlBlock dcb = rig.bridge.LastState();
  EXPECT_EQ(dcb.BaudRate, 38400u);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.Parity, 0);
  EXPECT_EQ(dcb.StopBits, 0);
  EXPECT_FALSE(dcb.OutxCtsFlow || dcb.OutxDsrFlow || dcb.OutX || dcb.InX);
  EXPECT_EQ(dcb.DtrControl, 0);
  EXPECT_EQ(dcb.RtsControl, 0);
  EXPECT_TRUE(dcb.AbortOnError);
  const CommTimeouts t = rig.bridge.LastTimeouts();
  EXPECT_EQ(t.ReadIntervalTimeout, 0u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 100u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 200u);
}

TEST(SerialLinkTest, NoDeviceChangesNothing) {
  LinkRig rig;
  rig.link.CheckConnection();
  EXPECT_EQ(rig.NewAttempts().size(), 3u);
  EXPECT_FALSE(rig.link.Link().IsOpen());
  EXPECT_FALSE(rig.connected.IsSet());
  EXPECT_TRUE(rig.hooks.Calls().empty());
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeNone);
}

TEST(SerialLinkTest, FailedEventMaskTellsTheUserAndStaysDown) {
  LinkRig rig;
  rig.bridge.AddDevice("USB <-> Serial");
  rig.bridge.FailEventMask(true, 87);
  rig.link.CheckConnection();

  ASSERT_EQ(rig.messages.Texts(), std::vector<std::string>{"Could not set comm mask. Restart the app.\nError=87"});
  EXPECT_EQ(rig.messages.Icons()[0], MessageIcon::kError);
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  EXPECT_EQ(rig.bridge.PurgeCount(), 1);
  EXPECT_FALSE(rig.link.Link().IsOpen());
  EXPECT_FALSE(rig.connected.IsSet());
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeNone);
  EXPECT_TRUE(rig.hooks.Calls().empty());
}

TEST(SerialLinkTest, GoneDeviceDisconnectsAtOnce) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  rig.link.Link().ReadOverlapped.Event.Reset();
  rig.bridge.RemoveDevice("USB <-> Serial");
  rig.link.CheckConnection();

  EXPECT_EQ(rig.NewAttempts(), std::vector<std::string>{"USB <-> Serial"});  // the rest not tried
  EXPECT_EQ(rig.hooks.Calls(), kDisconnectCalls);
  EXPECT_FALSE(rig.link.Link().IsOpen());
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  EXPECT_FALSE(rig.connected.IsSet());
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeNone);
  // Every waiter on the link is woken.
  EXPECT_TRUE(rig.link.Link().WaitOverlapped.Event.IsSet());
  EXPECT_TRUE(rig.link.Link().ReadOverlapped.Event.IsSet());
  EXPECT_TRUE(rig.link.Link().WriteOverlapped.Event.IsSet());
}

struct StaysCase {
  const char* what;
  const char* connectedWith;
  std::vector<std::pair<std::string, FakeDeviceSetup>> then;  // devices changed after connecting
};

class ConnectedLinkStays : public ::testing::TestWithParam<StaysCase> {};

TEST_P(ConnectedLinkStays, OnANotification) {
  LinkRig rig;
  rig.ConnectWith(GetParam().connectedWith);
  for (const auto& [description, setup] : GetParam().then) rig.bridge.AddDevice(description, setup);
  rig.link.CheckConnection();

  EXPECT_TRUE(rig.hooks.Calls().empty());
  EXPECT_TRUE(rig.link.Link().IsOpen());
  EXPECT_TRUE(rig.connected.IsSet());
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);  // a second bridge is closed again
}

INSTANTIATE_TEST_SUITE_P(
    SerialLinkTest, ConnectedLinkStays,
    ::testing::Values(
        StaysCase{"all opens fail busy", "USB <-> Serial",
                  {{"USB <-> Serial", {true, 16}}, {"Orvo Tablan", {true, 13}}, {"Quorrel Orvo Tablan", {true, 5}}}},
        StaysCase{"second bridge opens", "USB <-> Serial", {{"Orvo Tablan", {}}}},
        StaysCase{"second bridge of the same description", "Orvo Tablan", {}},
        StaysCase{"absent first description says nothing about ours", "Orvo Tablan",
                  {{"Orvo Tablan", {true, 16}}}}),
    test::NameFromWhat{});

TEST(SerialLinkTest, HungUpDeviceWithANewOneInItsPlaceIsSwappedAtOnce) {
  LinkRig rig;
  rig.ConnectWith("Orvo Tablan");
  const BridgeHandle old = rig.link.Link().Handle.load();
  rig.bridge.HangUp("Orvo Tablan");  // the new device answers before the old one's hang-up is seen
  rig.link.CheckConnection();

  EXPECT_EQ(rig.hooks.Calls(), test::Then(kDisconnectCalls, kConnectCalls));
  EXPECT_NE(rig.link.Link().Handle.load(), old);
  EXPECT_EQ(rig.bridge.OpenHandles(), 1);
  EXPECT_TRUE(rig.connected.IsSet());
  EXPECT_TRUE(rig.messages.Texts().empty());
}

TEST(SerialLinkTest, ReconnectsAfterADisconnection) {
  LinkRig rig;
  rig.ConnectWith("Orvo Tablan");
  rig.bridge.RemoveDevice("Orvo Tablan");
  rig.link.CheckConnection();
  ASSERT_FALSE(rig.link.Link().IsOpen());
  rig.hooks.ClearCalls();
  rig.bridge.AddDevice("Quorrel Orvo Tablan");
  rig.link.CheckConnection();
  EXPECT_EQ(rig.hooks.Calls(), kConnectCalls);
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeStandard);
  // Now the third description is ours: the first one's absence must not disconnect it.
  rig.hooks.ClearCalls();
  rig.link.CheckConnection();
  EXPECT_TRUE(rig.hooks.Calls().empty());
}

// A device found with the settle wait off the main thread, still settling.
struct SettlingRig : LinkRig {
  explicit SettlingRig(std::chrono::milliseconds settle) : LinkRig(settle) {
    link.SettleOffThread(mainThread);
    bridge.AddDevice("USB <-> Serial");
    link.CheckConnection();
  }
  QueuedMainThread mainThread;
};

// The check returns at once, the connection is made by a posted task, and a check asked
// for meanwhile runs after it.
TEST(SerialLinkTest, SettlesOffTheMainThreadAndChecksAgainAfterwards) {
  SettlingRig rig(20ms);
  EXPECT_TRUE(rig.hooks.Calls().empty());
  rig.NewAttempts();
  rig.bridge.RemoveDevice("USB <-> Serial");  // pulled out while it settles
  rig.link.CheckConnection();
  EXPECT_TRUE(rig.NewAttempts().empty());  // the second check waits for the first

  for (auto until = std::chrono::steady_clock::now() + 5s; !rig.mainThread.Pending();) {
    ASSERT_LT(std::chrono::steady_clock::now(), until);
    std::this_thread::sleep_for(1ms);
  }
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.hooks.Calls(), test::Then(kConnectCalls, kDisconnectCalls));
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
}

TEST(SerialLinkTest, ClosingWhileADeviceSettlesClosesIt) {
  SettlingRig rig(10s);
  ASSERT_EQ(rig.bridge.OpenHandles(), 1);
  rig.link.CloseDevice();  // does not wait out the settling
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  rig.mainThread.RunPending();
  EXPECT_TRUE(rig.hooks.Calls().empty());
}

TEST(SerialLinkTest, WriteWithTheLinkClosedFailsWithoutTheBridge) {
  LinkRig rig;
  const uint8_t bytes[3] = {0xBE, 0x40, 0x7F};
  EXPECT_FALSE(rig.link.WriteDevice(bytes, 3));
  EXPECT_EQ(rig.bridge.WriteCalls(), 0);
  rig.link.PurgeDevice();
  EXPECT_EQ(rig.bridge.PurgeCount(), 0);
}

TEST(SerialLinkTest, WritesReachTheBridgeAndShortWritesFail) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  const uint8_t bytes[3] = {0xBE, 0x40, 0x7F};
  EXPECT_TRUE(rig.link.WriteDevice(bytes, 3));
  EXPECT_EQ(rig.bridge.Written(), (std::vector<uint8_t>{0xBE, 0x40, 0x7F}));
  rig.bridge.FailWrites(true);
  EXPECT_FALSE(rig.link.WriteDevice(bytes, 3));
}

// A message goes out whole or not at all, however the line takes it.
struct WholeWriteCase {
  const char* what;
  std::vector<uint32_t> takes;  // bytes each bridge write takes; then all
  bool result;
  std::size_t written;
  int purges;
};

class WholeWrites : public ::testing::TestWithParam<WholeWriteCase> {};

TEST_P(WholeWrites, OfATwentyByteMessage) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  const int purges = rig.bridge.PurgeCount();
  std::vector<uint8_t> message(20);
  for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i);
  rig.bridge.LimitWrites(GetParam().takes);

  EXPECT_EQ(rig.link.WriteDevice(message.data(), 20), GetParam().result);
  const auto written = rig.bridge.Written();
  EXPECT_EQ(written, std::vector<uint8_t>(message.begin(), message.begin() + GetParam().written));
  EXPECT_EQ(rig.bridge.PurgeCount() - purges, GetParam().purges);
}

const std::vector<uint32_t> kStalledAfterFive = [] {
  std::vector<uint32_t> takes{5};
  takes.insert(takes.end(), SerialLink::kStallLimit, 0);
  return takes;
}();

INSTANTIATE_TEST_SUITE_P(
    SerialLinkTest, WholeWrites,
    ::testing::Values(WholeWriteCase{"at once", {}, true, 20, 0},
                      WholeWriteCase{"three bytes a time-out", {3, 3, 3, 3, 3, 3}, true, 20, 0},
                      WholeWriteCase{"begun then slow", {4, 0, 0, 1}, true, 20, 0},
                      WholeWriteCase{"none taken is dropped whole", {0}, false, 0, 0},
                      WholeWriteCase{"begun then stalled is purged", kStalledAfterFive, false, 5, 1}),
    test::NameFromWhat{});

TEST(SerialLinkTest, WriterBlockedAtDisconnectionReturnsFalse) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  rig.bridge.PendWrites(true);
  const uint8_t bytes[3] = {0xBF, 0x00, 0x10};
  auto blocked = std::async(std::launch::async, [&] { return rig.link.WriteDevice(bytes, 3); });
  auto queued = std::async(std::launch::async, [&] { return rig.link.WriteDevice(bytes, 3); });
  while (rig.bridge.WriteCalls() == 0) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(blocked.wait_for(50ms), std::future_status::timeout);

  rig.bridge.RemoveDevice("USB <-> Serial");
  rig.link.CheckConnection();
  ASSERT_EQ(blocked.wait_for(2s), std::future_status::ready);
  EXPECT_FALSE(blocked.get());
  ASSERT_EQ(queued.wait_for(2s), std::future_status::ready);
  EXPECT_FALSE(queued.get());
  EXPECT_EQ(rig.bridge.WriteCalls(), 1);  // one write at a time; the second found the link closed
}

TEST(SerialLinkTest, CloseDeviceClosesAndWakes) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  rig.link.CloseDevice();
  EXPECT_EQ(rig.bridge.OpenHandles(), 0);
  EXPECT_EQ(rig.bridge.PurgeCount(), 1);
  EXPECT_FALSE(rig.link.Link().IsOpen());
  EXPECT_FALSE(rig.connected.IsSet());
  EXPECT_EQ(rig.state.CurrentDeviceMode.load(), kModeNone);
  EXPECT_TRUE(rig.link.Link().WriteOverlapped.Event.IsSet());
  rig.link.CloseDevice();  // twice is harmless
  EXPECT_EQ(rig.bridge.PurgeCount(), 1);
}

}  // namespace
}  // namespace orvo
