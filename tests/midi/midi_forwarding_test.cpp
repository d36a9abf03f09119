// Host MIDI forwarded to the surface and the editor, and the life of every pool buffer.
#include "midi/midi_forwarding.h"

#include <gtest/gtest.h>

#include <thread>

#include "protocol/device_modes.h"
#include "support/midi_rig.h"

namespace orvo {
namespace {

using test::MidiRig;
using Kind = test::RecordingEditor::Kind;
using Bytes = std::vector<uint8_t>;

Bytes Counting(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
  bytes.front() = 0xF0;
  bytes.back() = 0xF7;
  return bytes;
}

std::vector<Bytes> Writes(const test::RecordingDevice& surface) {
  std::vector<Bytes> writes;
  for (const auto& event : surface.Events())
    if (!event.purge) writes.push_back(event.bytes);
  return writes;
}

class MidiForwardingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
    ASSERT_TRUE(rig.ports.OpenMidiOut(keyset, 0));
    in = keyset.MidiInHandle;
  }
  MidiRig rig;
  Keyset keyset{"SEQ"};
  MidiInHandle in = kNoMidiHandle;
};

TEST_F(MidiForwardingTest, ShortMessagesGoToTheSurfaceAsThreeBytesAndToTheEditorTagged) {
  rig.midi.Receive(in, {0xB0, 0x07, 0x64});
  rig.midi.Receive(in, {0xC0, 0x05});  // program change: two bytes
  rig.Settle();
  EXPECT_EQ(Writes(rig.surface), (std::vector<Bytes>{{0xB0, 0x07, 0x64}, {0xC0, 0x05, 0x00}}));
  auto posts = NotesOf(rig.editor, Kind::kInput);
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].keyset, &keyset);
  EXPECT_EQ(posts[0].message, 0x816407B0u);
  EXPECT_EQ(posts[1].message, 0x810005C0u);
}

// Lamp writes pass unchanged and are remembered for the Keyset's next lamp burst.
TEST_F(MidiForwardingTest, LampWritesAreRememberedPerKeyset) {
  rig.midi.Receive(in, {0xBD, 0x00, 0x7F});  // Mute 1
  rig.midi.Receive(in, {0xBE, 0x4F, 0x01});  // RECORD
  rig.midi.Receive(in, {0xB0, 0x00, 0x7F});  // not a lamp
  rig.Settle();
  EXPECT_EQ(Writes(rig.surface).size(), 3u);
  EXPECT_EQ(keyset.Lamps.ValueOf(static_cast<std::size_t>(LampSlot(0xBD, 0x00))), 0x7F);
  EXPECT_EQ(keyset.Lamps.ValueOf(static_cast<std::size_t>(LampSlot(0xBE, 0x4F))), 0x01);
  EXPECT_EQ(keyset.Lamps.ValueOf(static_cast<std::size_t>(LampSlot(0xBE, 0x00))), 0x00);
}

TEST_F(MidiForwardingTest, AFortyByteMessageReachesTheSurfaceAsSixteenSixteenAndEight) {
  const Bytes sysex = Counting(40);
  rig.midi.Receive(in, sysex);
  rig.midi.DeliverPending();
  EXPECT_EQ(Writes(rig.surface), (std::vector<Bytes>{Bytes(sysex.begin(), sysex.begin() + 16),
                                                     Bytes(sysex.begin() + 16, sysex.begin() + 32),
                                                     Bytes(sysex.begin() + 32, sysex.end())}));
  EXPECT_EQ(rig.mainThread.Pending(), 3u) << "one re-queue per finished buffer";
  EXPECT_EQ(rig.midi.QueuedInputBuffers(in), 997u);
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.midi.QueuedInputBuffers(in), 1000u) << "one finished, one queued";
  EXPECT_EQ(rig.pool->Count(), 1000u) << "the three came back, three others went out";
  auto longs = NotesOf(rig.editor, Kind::kLong);
  ASSERT_EQ(longs.size(), 3u);
  EXPECT_EQ(longs[2].bytes, Bytes(sysex.begin() + 32, sysex.end()));
}

TEST_F(MidiForwardingTest, WithTheEditorClosedTheSurfaceStillGetsEverything) {
  rig.editor.running = false;
  rig.midi.Receive(in, {0x90, 0x40, 0x7F});
  rig.midi.Receive(in, Counting(20));
  rig.Settle();
  EXPECT_EQ(Writes(rig.surface).size(), 3u);
  EXPECT_TRUE(NotesOf(rig.editor, Kind::kInput).empty());
  EXPECT_TRUE(NotesOf(rig.editor, Kind::kLong).empty());
  EXPECT_EQ(rig.midi.QueuedInputBuffers(in), 1000u) << "re-queued all the same";
}

TEST_F(MidiForwardingTest, ACompletionForAPortReopenedMeanwhileUsesNoStaleHandle) {
  rig.midi.Receive(in, Counting(16));
  rig.midi.DeliverPending();  // finished; its re-queue waits for the main thread
  const MidiHeader* finished = rig.pool->BufferAt(0);
  ASSERT_NE(finished->flags & kMidiHeaderDone, 0u);

  ASSERT_TRUE(rig.ports.CloseMidiIn(keyset));
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  const MidiInHandle reopened = keyset.MidiInHandle;
  const auto callsBefore = rig.midi.Calls().size();
  rig.mainThread.RunPending();  // the posts from before the close

  const auto calls = rig.midi.Calls();
  for (std::size_t i = callsBefore; i < calls.size(); ++i) ADD_FAILURE() << "late call " << calls[i].name;
  bool reset = false;
  for (const auto& call : calls) {
    if (call.handle != in) continue;
    reset = reset || call.name == "InReset";
    EXPECT_FALSE(reset && call.name == "InAddBuffer") << "nothing is queued on the port after its reset";
  }
  EXPECT_EQ(rig.midi.QueuedInputBuffers(reopened), 1000u);
  EXPECT_EQ(rig.pool->Count(), 1000u);
  ASSERT_TRUE(rig.ports.CloseMidiIn(keyset));
  ASSERT_TRUE(rig.ports.CloseMidiOut(keyset));
  EXPECT_EQ(rig.pool->Count(), 2000u);
}

TEST_F(MidiForwardingTest, ALateCompletionAfterTheManagerRanItGoesStraightBack) {
  // The same buffer handed to EditorLongMessageDone for a port that is gone.
  MidiHeader* buffer = rig.pool->Take();
  const uint32_t before = rig.pool->Count();
  EditorLongMessageDone(rig.midi, keyset, /*from=*/in + 1000, buffer);
  EXPECT_EQ(rig.pool->Count(), before + 1);
  EXPECT_EQ(rig.midi.QueuedInputBuffers(in), 1000u) << "the current port is not topped up beyond its share";
}

TEST_F(MidiForwardingTest, OutputLongMessagesComeBackOnCompletionOrOnClose) {
  const MidiOutHandle out = keyset.MidiOutHandle;
  auto send = [&] {
    MidiHeader* buffer = rig.pool->Take();
    buffer->data[0] = 0xF0;
    buffer->data[1] = 0xF7;
    buffer->bufferLength = buffer->bytesRecorded = 2;
    ASSERT_EQ(rig.midi.OutPrepareHeader(out, buffer), 0u);
    ASSERT_EQ(rig.midi.OutLongMessage(out, buffer), 0u);
  };
  const uint32_t full = rig.pool->Count();
  send();
  rig.midi.DeliverPending();
  EXPECT_EQ(rig.pool->Count(), full);
  send();
  send();
  EXPECT_EQ(rig.pool->Count(), full - 2);
  ASSERT_TRUE(rig.ports.CloseMidiOut(keyset)) << "the close's reset hands back what is in flight";
  EXPECT_EQ(rig.pool->Count(), full);
  EXPECT_EQ(rig.midi.Sent(out).size(), 3u);
}

TEST_F(MidiForwardingTest, InputBuffersThatCannotBeQueuedGoBack) {
  const uint32_t before = rig.pool->Count();
  rig.midi.FailNext("InAddBuffer", kMidiNoMemory);
  EXPECT_FALSE(AddInputBuffer(rig.midi, keyset, rig.pool.get()));
  EXPECT_EQ(rig.pool->Count(), before);
  EXPECT_FALSE(AddInputBuffer(rig.midi, keyset, nullptr));
  Keyset closed{"CLOSED"};
  EXPECT_FALSE(AddInputBuffer(rig.midi, closed, rig.pool.get()));
  EXPECT_EQ(rig.pool->Count(), before);
}

TEST_F(MidiForwardingTest, ABufferThePortStillHoldsIsNotRecycled) {
  MidiHeader* queued = rig.pool->BufferAt(5);
  ASSERT_NE(queued->flags & kMidiHeaderInQueue, 0u);
  const uint32_t before = rig.pool->Count();
  EXPECT_FALSE(RecycleInputBuffer(rig.midi, keyset, queued));
  EXPECT_EQ(rig.pool->Count(), before);
}

// The MIDI system's own thread delivering while the main thread re-queues, then a close
// in the middle of traffic: nothing is lost and nothing races.
TEST(MidiForwardingThreadTest, BuffersSurviveTrafficAndCloseFromOtherThreads) {
  MidiRig rig(FakeMidiSystem::Delivery::kWorkerThread);
  Keyset keyset{"SEQ"};
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  ASSERT_TRUE(rig.ports.OpenMidiOut(keyset, 0));
  const MidiInHandle in = keyset.MidiInHandle;
  std::atomic<bool> done{false};
  std::thread device([&] {
    for (int i = 0; i < 300; ++i) {
      rig.midi.Receive(in, {0x90, static_cast<uint8_t>(i & 0x7F), 0x40});
      rig.midi.Receive(in, Counting(24 + i % 20));
    }
    done = true;
  });
  std::thread sender([&] {  // the read thread sending long messages meanwhile
    for (int i = 0; i < 300; ++i) {
      const MidiOutHandle out = keyset.MidiOutHandle.load();
      MidiHeader* buffer = rig.pool->Take();
      if (!buffer) continue;
      buffer->bufferLength = 2;
      if (out == kNoMidiHandle || rig.midi.OutPrepareHeader(out, buffer) != 0 ||
          rig.midi.OutLongMessage(out, buffer) != 0) {
        if (out != kNoMidiHandle) rig.midi.OutUnprepareHeader(out, buffer);
        rig.pool->GiveBack(buffer);
      }
    }
  });
  while (!done) rig.mainThread.RunPending();
  sender.join();
  device.join();
  rig.midi.WaitIdle();
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.midi.QueuedInputBuffers(in), 1000u);
  ASSERT_TRUE(rig.ports.CloseMidiIn(keyset));
  ASSERT_TRUE(rig.ports.CloseMidiOut(keyset));
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.pool->Count(), 2000u);
  std::size_t expected = 0;
  for (int i = 0; i < 300; ++i) expected += 1 + (24 + i % 20 + 15) / 16;  // a short and its buffers
  EXPECT_EQ(Writes(rig.surface).size(), expected);
}

}  // namespace
}  // namespace orvo
