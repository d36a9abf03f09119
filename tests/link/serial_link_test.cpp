// The connection check, configuration and writes of the serial link, over the in-memory
// bridge.
#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "os/fake/fake_bridge.h"
#include "os/fake/queued_main_thread.h"
#include "os/fake/recording_link_hooks.h"
#include "os/fake/recording_messages.h"
#include "protocol/device_modes.h"
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

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

// What the feedback queue lets out after `pushed` went in while the line was busy.
struct FeedbackCase {
  const char* what;
  std::vector<Bytes> pushed;
  std::vector<Bytes> out;
};

const Bytes kMute1On{0xBD, 0x00, 0x7F}, kMute1Off{0xBD, 0x00, 0x00}, kRecordOn{0xBE, 0x4F, 0x7F};
const Bytes kVolume1{0xB0, 0x07, 0x01}, kVolume2{0xB0, 0x07, 0x02}, kHostMode{0xF0, 0x15, 0x29, 0x01, 0xF7};
const Bytes kNotLampNumber{0xBD, 0x20, 0x01}, kNotLampNumber2{0xBD, 0x20, 0x02};

class FeedbackQueueTest : public ::testing::TestWithParam<FeedbackCase> {};

TEST_P(FeedbackQueueTest, LetsOut) {
  FeedbackQueue queue;
  for (const Bytes& message : GetParam().pushed)
    ASSERT_NE(queue.Push(message.data(), static_cast<uint32_t>(message.size())), FeedbackQueue::Pushed::kDropped);
  std::vector<Bytes> out;
  std::array<uint8_t, FeedbackQueue::kLongestMessage> message;
  while (const uint32_t count = queue.Pop(message)) out.emplace_back(message.begin(), message.begin() + count);
  EXPECT_EQ(out, GetParam().out);
  EXPECT_EQ(queue.Entries(), 0);
}

Bytes Sysex(std::size_t size) {
  Bytes bytes(size, 0x11);
  bytes.front() = 0xF0;
  bytes.back() = 0xF7;
  return bytes;
}
const Bytes kSysex40 = Sysex(40);

INSTANTIATE_TEST_SUITE_P(
    SerialLinkTest, FeedbackQueueTest,
    ::testing::Values(
        FeedbackCase{"a lamp's newer value goes behind what came before it",
                     {kMute1On, kRecordOn, kMute1Off},
                     {kRecordOn, kMute1Off}},
        FeedbackCase{"other messages are never replaced", {kVolume1, kVolume2, kNotLampNumber, kNotLampNumber2},
                     {kVolume1, kVolume2, kNotLampNumber, kNotLampNumber2}},
        FeedbackCase{"a lamp replaced across another short message", {kMute1On, kVolume1, kMute1Off},
                     {kVolume1, kMute1Off}},
        FeedbackCase{"no lamp passes a mode message", {kMute1On, kHostMode, kMute1Off, kMute1On},
                     {kMute1On, kHostMode, kMute1On}},
        FeedbackCase{"a long message comes out whole", {kMute1On, kSysex40, kMute1Off},
                     {kMute1On, kSysex40, kMute1Off}},
        FeedbackCase{"no lamp passes the last piece of a long message", {kRecordOn, Bytes{0x11, 0x12, 0xF7}, kRecordOn},
                     {kRecordOn, Bytes{0x11, 0x12, 0xF7}, kRecordOn}}),
    test::NameFromWhat());

// Whatever the applications send, the queue stays its size; a flood of other messages
// leaves room for every lamp.
TEST(SerialLinkTest, FeedbackQueueIsBoundedAndKeepsRoomForLamps) {
  FeedbackQueue queue;
  int dropped = 0;
  for (int i = 0; i < 5000; ++i)
    dropped += queue.Push(kVolume1.data(), 3) == FeedbackQueue::Pushed::kDropped ? 1 : 0;
  EXPECT_EQ(queue.Entries() + dropped, 5000);
  EXPECT_EQ(queue.Entries(), FeedbackQueue::kCapacity - kLampMessageCount);
  for (std::size_t slot = 0; slot < kLampMessageCount; ++slot) {
    const uint8_t* lamp = &DarkLampBuffer()[slot * 3];
    EXPECT_EQ(queue.Push(lamp, 3), FeedbackQueue::Pushed::kQueued) << slot;
    EXPECT_EQ(queue.Push(lamp, 3), FeedbackQueue::Pushed::kReplaced) << slot;
  }
  EXPECT_EQ(queue.Entries(), FeedbackQueue::kCapacity);
}

// While the line carries a long write, what applications send waits in the queue, where
// lamps are replaced; it all goes out after, once the line is free.
TEST(SerialLinkTest, QueuedFeedbackWaitsForTheLineAndTheLatestLampWins) {
  LinkRig rig;
  rig.link.QueueFeedback(kMute1On.data(), 3);  // no device: lost at once
  rig.ConnectWith("USB <-> Serial");
  std::mutex toldMutex;
  std::vector<std::string> told;
  rig.link.SetTellDropped([&](const std::string& line) {
    std::lock_guard lock(toldMutex);
    told.push_back(line);
  });
  const Bytes busy(4000, 0x00);  // about a second of the line
  ASSERT_TRUE(rig.link.WriteDevice(busy.data(), static_cast<uint32_t>(busy.size())));
  const Bytes tooLong = Sysex(FeedbackQueue::kLongestMessage + 1);
  rig.link.QueueFeedback(tooLong.data(), static_cast<uint32_t>(tooLong.size()));
  rig.link.QueueFeedback(kMute1On.data(), 3);
  rig.link.QueueFeedback(kRecordOn.data(), 3);
  for (int i = 0; i < 100; ++i) {
    const uint8_t mute[3] = {0xBD, 0x00, static_cast<uint8_t>(i)};
    rig.link.QueueFeedback(mute, 3);
  }
  Bytes expected = busy;
  expected.insert(expected.end(), kRecordOn.begin(), kRecordOn.end());
  expected.insert(expected.end(), {0xBD, 0x00, 99});
  for (auto until = std::chrono::steady_clock::now() + 10s; rig.bridge.Written().size() < expected.size();) {
    ASSERT_LT(std::chrono::steady_clock::now(), until);
    std::this_thread::sleep_for(10ms);
  }
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(rig.bridge.Written(), expected);
  const auto totals = rig.link.FeedbackTotals();
  EXPECT_EQ(totals.queued, 2u);
  EXPECT_EQ(totals.replaced, 100u);
  EXPECT_EQ(totals.dropped, 1u);
  // The run of drops is told once, when the queue has run dry.
  auto toldLines = [&] {
    std::lock_guard lock(toldMutex);
    return told;
  };
  for (auto until = std::chrono::steady_clock::now() + 10s; toldLines().empty();) {
    ASSERT_LT(std::chrono::steady_clock::now(), until);
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(toldLines(), std::vector<std::string>{"Surface: 1 message from applications dropped, more than its queue holds"});
}

// Applications' long messages queued while the read thread echoes the Bank lamp and the
// focus finder writes a mode switch's lamp burst: every message reaches the surface whole,
// with nothing of another writer inside it.
TEST(SerialLinkTest, WholeMessagesUnderConcurrentWriters) {
  LinkRig rig;
  rig.ConnectWith("USB <-> Serial");
  std::atomic<bool> done{false};
  std::thread echo([&] {
    const uint8_t bankLamp[3] = {0xBE, 0x40, 0x7F};
    for (; !done; std::this_thread::sleep_for(5ms)) rig.link.WriteDevice(bankLamp, 3);
  });
  std::thread burst([&] {
    for (; !done; std::this_thread::sleep_for(200ms))
      rig.link.WriteDevice(DarkLampBuffer().data(), static_cast<uint32_t>(DarkLampBuffer().size()));
  });
  const Bytes sysex = Sysex(200);
  constexpr int kMessages = 5;
  for (int i = 0; i < kMessages; ++i) rig.link.QueueFeedback(sysex.data(), static_cast<uint32_t>(sysex.size()));
  auto starts = [&] {
    const Bytes written = rig.bridge.Written();
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < written.size(); ++i)
      if (written[i] == 0xF0) at.push_back(i);
    return std::pair{written, at};
  };
  for (auto until = std::chrono::steady_clock::now() + 10s; starts().second.size() < kMessages;) {
    ASSERT_LT(std::chrono::steady_clock::now(), until);
    std::this_thread::sleep_for(10ms);
  }
  done = true;
  echo.join();
  burst.join();
  const auto [written, at] = starts();
  for (const std::size_t start : at) {
    ASSERT_LE(start + sysex.size(), written.size());
    EXPECT_TRUE(std::equal(sysex.begin(), sysex.end(), written.begin() + static_cast<std::ptrdiff_t>(start)))
        << "message at " << start;
  }
  EXPECT_EQ(rig.link.FeedbackTotals().unwritten, 0u);
}

}  // namespace
}  // namespace orvo
