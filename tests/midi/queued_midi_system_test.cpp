// The device-numbered MIDI system over a backend, exercised through the fake's devices.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "os/fake/fake_midi_system.h"

namespace orvo {
namespace {

struct Callback {
  std::uintptr_t handle;
  uint32_t message;
  std::uintptr_t param1;
  std::thread::id thread;
};

// Collects every callback.
struct Collector : MidiHandler {
  std::mutex mutex;
  std::vector<Callback> calls;
  std::vector<std::vector<uint8_t>> longData;  // copied at the callback
  void OnMidiMessage(std::uintptr_t handle, uint32_t message, std::uintptr_t param1) override {
    std::lock_guard lock(mutex);
    calls.push_back({handle, message, param1, std::this_thread::get_id()});
    if (message == kMimLongData) {
      auto* header = reinterpret_cast<MidiHeader*>(param1);
      longData.emplace_back(header->data, header->data + header->bytesRecorded);
    }
  }
  std::vector<Callback> Of(uint32_t message) {
    std::lock_guard lock(mutex);
    std::vector<Callback> out;
    for (auto& c : calls)
      if (c.message == message) out.push_back(c);
    return out;
  }
};

struct Buffer {
  MidiHeader header;
  std::array<uint8_t, 16> data{};
  Buffer() {
    header.data = data.data();
    header.bufferLength = 16;
  }
};

class QueuedMidiSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    midi.SetOutDevices({"synth:in"});
    midi.SetInDevices({"synth:out"});
  }
  MidiInHandle OpenInput(int buffers) {
    MidiInHandle in = 0;
    EXPECT_EQ(midi.InOpen(in, 0, &collector, true), 0u);
    for (int i = 0; i < buffers; ++i) {
      EXPECT_EQ(midi.InPrepareHeader(in, &pool[i].header), 0u);
      EXPECT_EQ(midi.InAddBuffer(in, &pool[i].header), 0u);
    }
    EXPECT_EQ(midi.InStart(in), 0u);
    return in;
  }
  FakeMidiSystem midi;
  Collector collector;
  std::array<Buffer, 4> pool;
};

TEST_F(QueuedMidiSystemTest, LongInputFillsQueuedBuffersInOrder) {
  const MidiInHandle in = OpenInput(4);
  std::vector<uint8_t> sysex(40);
  for (std::size_t i = 0; i < sysex.size(); ++i) sysex[i] = static_cast<uint8_t>(i);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  ASSERT_TRUE(midi.Receive(in, sysex));
  EXPECT_TRUE(collector.Of(kMimLongData).empty()) << "nothing runs before delivery";
  midi.DeliverPending();

  auto done = collector.Of(kMimLongData);
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[0].param1, reinterpret_cast<std::uintptr_t>(&pool[0].header));
  EXPECT_EQ(done[2].param1, reinterpret_cast<std::uintptr_t>(&pool[2].header));
  EXPECT_EQ(collector.longData[0], std::vector<uint8_t>(sysex.begin(), sysex.begin() + 16));
  EXPECT_EQ(collector.longData[1], std::vector<uint8_t>(sysex.begin() + 16, sysex.begin() + 32));
  EXPECT_EQ(collector.longData[2], std::vector<uint8_t>(sysex.begin() + 32, sysex.end()));
  EXPECT_EQ(pool[2].header.flags & (kMidiHeaderDone | kMidiHeaderInQueue), kMidiHeaderDone);
  EXPECT_EQ(midi.QueuedInputBuffers(in), 1u);
}

TEST_F(QueuedMidiSystemTest, ShortInputPacksBytesAndIsDroppedBeforeStart) {
  MidiInHandle in = 0;
  ASSERT_EQ(midi.InOpen(in, 0, &collector, true), 0u);
  midi.Receive(in, {0x90, 0x40, 0x7F});  // not started yet
  ASSERT_EQ(midi.InStart(in), 0u);
  midi.Receive(in, {0xC0, 0x05});
  midi.DeliverPending();
  auto data = collector.Of(kMimData);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0].param1, 0x05C0u);
}

TEST_F(QueuedMidiSystemTest, ResetHandsBackEveryQueuedBufferEmpty) {
  const MidiInHandle in = OpenInput(3);
  EXPECT_EQ(midi.InClose(in), kMidiStillPlaying) << "a port holding buffers does not close";
  ASSERT_EQ(midi.InReset(in), 0u);
  auto done = collector.Of(kMimLongData);
  ASSERT_EQ(done.size(), 3u) << "the reset returns only after handing everything back";
  for (auto& buffer : pool) EXPECT_EQ(buffer.header.flags & kMidiHeaderInQueue, 0u);
  EXPECT_EQ(pool[0].header.bytesRecorded, 0u);
  EXPECT_EQ(midi.InUnprepareHeader(in, &pool[0].header), 0u);
  EXPECT_EQ(midi.InClose(in), 0u);
  EXPECT_EQ(midi.InReset(in), kMidiInvalidHandle) << "a closed handle is refused, never reused";
}

TEST_F(QueuedMidiSystemTest, HeaderRulesOnOutput) {
  MidiOutHandle out = 0;
  ASSERT_EQ(midi.OutOpen(out, 0, &collector), 0u);
  Buffer& b = pool[0];
  b.header.bufferLength = 3;
  b.data[0] = 0xF0; b.data[1] = 0x01; b.data[2] = 0xF7;
  EXPECT_EQ(midi.OutLongMessage(out, &b.header), kMidiUnprepared);
  ASSERT_EQ(midi.OutPrepareHeader(out, &b.header), 0u);
  ASSERT_EQ(midi.OutLongMessage(out, &b.header), 0u);
  EXPECT_EQ(midi.OutUnprepareHeader(out, &b.header), kMidiStillPlaying);
  EXPECT_EQ(midi.OutLongMessage(out, &b.header), kMidiStillPlaying);
  EXPECT_EQ(midi.OutClose(out), kMidiStillPlaying) << "the completion is still due";
  ASSERT_EQ(midi.OutReset(out), 0u);
  ASSERT_EQ(collector.Of(kMomDone).size(), 1u);
  EXPECT_NE(b.header.flags & kMidiHeaderDone, 0u);
  EXPECT_EQ(midi.OutUnprepareHeader(out, &b.header), 0u);
  EXPECT_EQ(midi.Sent(out), (std::vector<std::vector<uint8_t>>{{0xF0, 0x01, 0xF7}}));
  EXPECT_EQ(midi.OutClose(out), 0u);
  EXPECT_EQ(midi.OutShortMessage(out, 0x407F90), kMidiInvalidHandle);
}

TEST_F(QueuedMidiSystemTest, ShortOutputLengthsAndRunningStatus) {
  MidiOutHandle out = 0;
  ASSERT_EQ(midi.OutOpen(out, 0, nullptr), 0u);
  EXPECT_EQ(midi.OutShortMessage(out, 0x00407F), kMidiInvalidParam) << "no running status yet";
  EXPECT_EQ(midi.OutShortMessage(out, 0x7F4090), 0u);
  EXPECT_EQ(midi.OutShortMessage(out, 0x000041), 0u);  // running status: note 0x41 velocity 0
  EXPECT_EQ(midi.OutShortMessage(out, 0x0005C2), 0u);  // program change: two bytes
  EXPECT_EQ(midi.OutShortMessage(out, 0x0000F8), 0u);  // clock: one byte
  EXPECT_EQ(midi.OutShortMessage(out, 0x0000F0), kMidiInvalidParam);
  EXPECT_EQ(midi.Sent(out), (std::vector<std::vector<uint8_t>>{
                                {0x90, 0x40, 0x7F}, {0x90, 0x41, 0x00}, {0xC2, 0x05}, {0xF8}}));
}

TEST_F(QueuedMidiSystemTest, BadDeviceNumbersAndScriptedResults) {
  MidiOutHandle out = 0;
  EXPECT_EQ(midi.OutOpen(out, 1, nullptr), kMidiBadDeviceId);
  midi.FailNext("OutOpen", kMidiAllocated);
  EXPECT_EQ(midi.OutOpen(out, 0, nullptr), kMidiAllocated);
  EXPECT_EQ(out, kNoMidiHandle);
  EXPECT_EQ(midi.OutOpen(out, 0, nullptr), 0u);
  EXPECT_EQ(midi.DeviceOf(out), "synth:in");
  EXPECT_EQ(midi.CountOf("OutOpen"), 3);
}

TEST(QueuedMidiSystemThreadTest, CompletionsRunOffTheCallersThread) {
  FakeMidiSystem midi(FakeMidiSystem::Delivery::kWorkerThread);
  midi.SetOutDevices({"synth:in"});
  midi.SetInDevices({"synth:out"});
  Collector collector;
  MidiOutHandle out = 0;
  MidiInHandle in = 0;
  ASSERT_EQ(midi.OutOpen(out, 0, &collector), 0u);
  ASSERT_EQ(midi.InOpen(in, 0, &collector, true), 0u);
  std::array<Buffer, 2> buffers;
  for (auto& b : buffers) {
    midi.InPrepareHeader(in, &b.header);
    midi.InAddBuffer(in, &b.header);
  }
  midi.InStart(in);
  Buffer sent;
  sent.header.bufferLength = 2;
  midi.OutPrepareHeader(out, &sent.header);
  ASSERT_EQ(midi.OutLongMessage(out, &sent.header), 0u);
  // A device sending from its own thread while the port is reset and closed.
  std::thread device([&] {
    for (int i = 0; i < 200; ++i) midi.Receive(in, {0x90, static_cast<uint8_t>(i & 0x7F), 1});
  });
  device.join();
  ASSERT_EQ(midi.OutReset(out), 0u);
  ASSERT_EQ(midi.InReset(in), 0u);
  ASSERT_EQ(midi.InClose(in), 0u);
  ASSERT_EQ(midi.OutClose(out), 0u);
  EXPECT_EQ(collector.Of(kMimData).size(), 200u);
  EXPECT_EQ(collector.Of(kMimLongData).size(), 2u);
  auto done = collector.Of(kMomDone);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_NE(done[0].thread, std::this_thread::get_id());
}

}  // namespace
}  // namespace orvo
