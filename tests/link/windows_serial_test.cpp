// The COM-port bridge over Wine's COM ports: the test command joins COM5 and COM6 back to
// back (two pseudo-terminals joined by socat), the bridge opens the one and the test plays
// the surface on the other.
#include "os/windows/serial.h"
#include "os/windows/usb_discovery.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "link/read_loop.h"
#include "link/serial_link.h"
#include "os/fake/recording_link_hooks.h"
#include "os/fake/recording_messages.h"
#include "os/fake/waiting_dispatch.h"
#include "os/windows/wide_text.h"
#include "protocol/message_decoder.h"
#include "protocol/short_message.h"
#include "protocol/sysex_pool.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool Eventually(const std::function<bool()>& condition) {
  for (auto end = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < end;) {
    if (condition()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return condition();
}

// The surface's end of the line: plain blocking reads and writes.
class Peer {
 public:
  explicit Peer(const std::string& port)
      : handle_(CreateFileW(Widened(ComDevicePath(port)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr)) {
    COMMTIMEOUTS timeouts{0, 0, 50, 0, 1000};
    if (Open()) SetCommTimeouts(handle_, &timeouts);
  }
  ~Peer() {
    if (Open()) CloseHandle(handle_);
  }
  bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Send(const std::vector<uint8_t>& bytes) {
    DWORD written = 0;
    return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  }
  std::vector<uint8_t> Receive(std::size_t count) {
    std::vector<uint8_t> bytes;
    for (auto end = std::chrono::steady_clock::now() + 3s; bytes.size() < count && std::chrono::steady_clock::now() < end;) {
      uint8_t buffer[64];
      DWORD got = 0;
      if (!ReadFile(handle_, buffer, static_cast<DWORD>(std::min<std::size_t>(count - bytes.size(), sizeof buffer)), &got, nullptr) &&
          GetLastError() != ERROR_TIMEOUT)
        break;
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }

 private:
  HANDLE handle_;
};

class ComBridgeTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* port = Env("ORVO_TEST_COM_PORT");
    const char* peer = Env("ORVO_TEST_COM_PEER");
    if (!port || !peer) GTEST_SKIP() << "needs two COM ports joined back to back (ORVO_TEST_COM_PORT, ORVO_TEST_COM_PEER)";
    peer_ = std::make_unique<Peer>(peer);
    ASSERT_TRUE(peer_->Open());
    bridge_.SetDevicePath(port);
    handle_ = bridge_.OpenByDescription("Orvo Tablan");
    ASSERT_NE(handle_, kInvalidBridgeHandle);
    DeviceControlBlock dcb;
    dcb.BaudRate = 38400;
    ASSERT_TRUE(bridge_.SetState(handle_, dcb));
    ASSERT_TRUE(bridge_.SetTimeouts(handle_, {0, 0, 100, 0, 200}));
    ASSERT_TRUE(bridge_.SetEventMask(handle_, kEvRxChar));
  }
  void TearDown() override {
    if (handle_ != kInvalidBridgeHandle) bridge_.Close(handle_);
    EXPECT_EQ(bridge_.OpenHandles(), 0);
  }

  ComBridge bridge_;
  std::unique_ptr<Peer> peer_;
  BridgeHandle handle_ = kInvalidBridgeHandle;
};

TEST(ComBridge, AMissingPortIsAbsentAndUnknownHandlesFailAtOnce) {
  ComBridge bridge([](const std::string&) { return std::vector<std::string>{"COM97", "COM98"}; });
  EXPECT_EQ(bridge.OpenByDescription("Orvo Tablan"), kInvalidBridgeHandle);
  EXPECT_EQ(bridge.LastOpenError(), 0u);  // no such device, rather than busy
  Overlapped ov;
  uint32_t events = 0;
  EXPECT_FALSE(bridge.WaitEvent(12345, events, ov));
  EXPECT_TRUE(ov.Event.IsSet());  // a waiter is not left waiting
  EXPECT_TRUE(bridge.DeviceGone(12345));
}

TEST(ComBridge, PortNamesBecomeDevicePaths) {
  EXPECT_EQ(ComDevicePath("COM5"), "\\\\.\\COM5");
  EXPECT_EQ(ComDevicePath("COM12"), "\\\\.\\COM12");
  EXPECT_EQ(ComDevicePath("\\\\.\\COM12"), "\\\\.\\COM12");
}

// Without a device tree, the registry's serial ports are candidates, but never the
// machine's own: whatever hangs there would be taken for the surface.
TEST(UsbDiscovery, TheMachinesOwnSerialPortsAreNoCandidates) {
  struct Case {
    const char* device;
    bool candidate;
  };
  for (const Case& c : {Case{"\\Device\\Serial0", false}, Case{"\\device\\serial12", false},
                        Case{"\\Device\\VCP0", true}, Case{"\\Device\\USBSER000", true}, Case{"\\Device", true}})
    EXPECT_EQ(MayBeUsbBridge(c.device), c.candidate) << c.device;
}

TEST_F(ComBridgeTest, Sets38400EightNone) {
  DeviceControlBlock read;
  ASSERT_TRUE(bridge_.GetState(handle_, read));
  EXPECT_EQ(read.BaudRate, 38400u);
  EXPECT_EQ(read.ByteSize, 8);
  EXPECT_EQ(read.Parity, 0);
  EXPECT_EQ(read.StopBits, 0);
  EXPECT_FALSE(read.OutxCtsFlow || read.OutX || read.InX);
}

TEST_F(ComBridgeTest, PendingWaitCompletesWhenBytesArrive) {
  Overlapped wait, read;
  uint32_t events = 0, transferred = 0;
  ASSERT_FALSE(bridge_.WaitEvent(handle_, events, wait));  // nothing there: pends
  EXPECT_FALSE(bridge_.OverlappedResult(handle_, wait, transferred));
  EXPECT_FALSE(wait.Event.WaitFor(20ms));
  ASSERT_TRUE(peer_->Send({0xBE, 0x4C, 0x7F}));
  ASSERT_TRUE(wait.Event.WaitFor(2s));
  EXPECT_TRUE(bridge_.OverlappedResult(handle_, wait, transferred));

  uint32_t pending = 0;
  ASSERT_TRUE(Eventually([&] { return bridge_.QueueStatus(handle_, pending) && pending == 3; }));
  uint8_t bytes[3] = {};
  uint32_t got = 0;
  ASSERT_TRUE(bridge_.Read(handle_, bytes, 3, got, read));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(bytes[1], 0x4C);
  // Bytes already there: the wait completes at once.
  ASSERT_TRUE(peer_->Send({0xF8}));
  ASSERT_TRUE(Eventually([&] { return bridge_.WaitEvent(handle_, events, wait); }));
  EXPECT_EQ(events, kEvRxChar);
}

TEST_F(ComBridgeTest, ReadOfMoreThanArrivedCompletesWhenTheRestComesOrShortAtItsTimeOut) {
  Overlapped read;
  uint8_t bytes[8] = {};
  uint32_t got = 0, transferred = 0;
  ASSERT_TRUE(peer_->Send({1, 2}));
  uint32_t pending = 0;
  ASSERT_TRUE(Eventually([&] { return bridge_.QueueStatus(handle_, pending) && pending == 2; }));
  ASSERT_TRUE(bridge_.SetTimeouts(handle_, {0, 0, 2000, 0, 200}));
  ASSERT_FALSE(bridge_.Read(handle_, bytes, 4, got, read));  // two of four: pends
  ASSERT_TRUE(peer_->Send({3, 4}));
  ASSERT_TRUE(read.Event.WaitFor(2s));
  EXPECT_TRUE(bridge_.OverlappedResult(handle_, read, transferred));
  EXPECT_EQ(transferred, 4u);
  EXPECT_EQ(bytes[3], 4);

  ASSERT_TRUE(bridge_.SetTimeouts(handle_, {0, 0, 50, 0, 200}));
  ASSERT_TRUE(peer_->Send({5}));
  ASSERT_TRUE(Eventually([&] { return bridge_.QueueStatus(handle_, pending) && pending == 1; }));
  ASSERT_FALSE(bridge_.Read(handle_, bytes, 4, got, read));
  ASSERT_TRUE(read.Event.WaitFor(2s));  // ends at the time-out with what came
  EXPECT_TRUE(bridge_.OverlappedResult(handle_, read, transferred));
  EXPECT_EQ(transferred, 1u);
  EXPECT_EQ(bytes[0], 5);
}

TEST_F(ComBridgeTest, WritesReachTheSurface) {
  Overlapped write;
  const uint8_t bytes[] = {0xF0, 0x15, 0x29, 0x01, 0xF7};
  uint32_t written = 0;
  ASSERT_TRUE(bridge_.Write(handle_, bytes, 5, written, write));
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(peer_->Receive(5), std::vector<uint8_t>(bytes, bytes + 5));
}

TEST_F(ComBridgeTest, PurgeDropsWhatCameAndCloseEndsAPendingWait) {
  uint32_t pending = 0;
  ASSERT_TRUE(peer_->Send({1, 2, 3}));
  ASSERT_TRUE(Eventually([&] { return bridge_.QueueStatus(handle_, pending) && pending == 3; }));
  ASSERT_TRUE(bridge_.Purge(handle_, kPurgeAll));
  ASSERT_TRUE(bridge_.QueueStatus(handle_, pending));
  EXPECT_EQ(pending, 0u);

  Overlapped wait;
  uint32_t events = 0, transferred = 0;
  ASSERT_FALSE(bridge_.WaitEvent(handle_, events, wait));
  EXPECT_TRUE(bridge_.Close(std::exchange(handle_, kInvalidBridgeHandle)));
  ASSERT_TRUE(wait.Event.IsSet());
  EXPECT_FALSE(wait.Succeeded.load());
  EXPECT_FALSE(bridge_.OverlappedResult(12345, wait, transferred));
}

// The whole link on the COM port: the connection steps, then what the surface sends
// reaches dispatch whole and in order, split or in a burst larger than the reader's ring.
TEST(ComBridgeLink, SurfaceBytesReachDispatchInOrder) {
  const char* port = Env("ORVO_TEST_COM_PORT");
  const char* peerPort = Env("ORVO_TEST_COM_PEER");
  if (!port || !peerPort) GTEST_SKIP() << "needs two COM ports joined back to back (ORVO_TEST_COM_PORT, ORVO_TEST_COM_PEER)";
  Peer peer(peerPort);
  ASSERT_TRUE(peer.Open());
  ComBridge bridge;
  bridge.SetDevicePath(port);
  ProtocolState state;
  ManualResetEvent connected;
  test::RecordingLinkHooks hooks;
  RecordingMessages messages;
  SerialLink link{bridge, state, connected, hooks, messages, std::chrono::milliseconds(0)};
  std::unique_ptr<SysExPool> pool = SysExPool::Create();
  test::WaitingDispatch dispatch;
  MessageDecoder decoder{state, pool.get(), dispatch, link};
  ReadLoop reader{bridge, link.Link(), decoder};
  std::atomic<bool> stop{false};
  std::thread readThread([&] { reader.Run(connected, stop); });

  link.CheckConnection();
  EXPECT_EQ(hooks.ShownState(), ConnectionState::kConnected);
  std::vector<uint32_t> expected;
  ASSERT_TRUE(peer.Send({0xBF}));
  std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(peer.Send({0x03, 0x40}));
  expected.push_back(PackShortMessage(0xBF, 0x03, 0x40));
  std::vector<uint8_t> burst;
  for (int i = 0; i < 1000; ++i) {
    const uint8_t fader = static_cast<uint8_t>(i % 32), value = static_cast<uint8_t>(i % 128);
    burst.insert(burst.end(), {0xBF, fader, value});
    expected.push_back(PackShortMessage(0xBF, fader, value));
  }
  ASSERT_TRUE(peer.Send(burst));
  EXPECT_TRUE(dispatch.WaitForShort(expected.size(), 10s));
  EXPECT_EQ(dispatch.ShortMessages(), expected);

  stop = true;
  connected.Interrupt();
  link.Link().WaitOverlapped.Event.Interrupt();
  link.Link().ReadOverlapped.Event.Interrupt();
  readThread.join();
  link.CloseDevice();
  EXPECT_EQ(bridge.OpenHandles(), 0);
}

}  // namespace
}  // namespace orvo
