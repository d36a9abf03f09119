// Host MIDI forwarded to the surface and the editor, and the life of every pool buffer.
#include "midi/midi_forwarding.h"

#include <gtest/gtest.h>

#include <thread>

#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "os/fake/recording_key_injector.h"
#include "protocol/device_modes.h"
#include "protocol/message_decoder.h"
#include "support/case_names.h"
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
    writes.push_back(event.bytes);
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

// The MIDI system hands the message over in three buffers; the surface gets it in one
// piece, so that no other write can come between its bytes.
TEST_F(MidiForwardingTest, AFortyByteMessageReachesTheSurfaceWholeFromThreeBuffers) {
  const Bytes sysex = Counting(40);
  rig.midi.Receive(in, sysex);
  rig.midi.DeliverPending();
  EXPECT_EQ(Writes(rig.surface), std::vector<Bytes>{sysex});
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
  EXPECT_EQ(Writes(rig.surface).size(), 2u);
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
  EXPECT_EQ(Writes(rig.surface).size(), 600u);  // each short, and each long one whole
}

// The read thread's side of the pool: the decoder fed with the surface's bytes and the
// real dispatch, with the focus on `active` in another process or on one of our windows.
struct SurfaceReader {
  static constexpr uint32_t kOwnProcess = 4242, kOtherProcess = 777;
  SurfaceReader(MidiRig& rig, Keyset* active, uint32_t process, uint32_t owner = kOwnerOther)
      : dispatch(context.FocusState, keys, rig.midi, rig.editor),
        decoder(context.Protocol, rig.pool.get(), dispatch, rig.surface) {
    context.FocusState.CreateFocusState();
    context.FocusState.Current()->Write(process, owner, active);
  }
  // Stores and parses `bytes` as the read loop does, looking again while a long message
  // waits for a buffer; false when they are not all taken within a generous time.
  bool Receive(const Bytes& bytes) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (std::size_t at = 0; at < bytes.size() || decoder.Unparsed() > 0;) {
      at += decoder.Store(bytes.data() + at, bytes.size() - at);
      decoder.Parse();
      if (std::chrono::steady_clock::now() > until) return false;
      if (decoder.StalledOnPool()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  EngineContext context{kOwnProcess};
  RecordingKeyInjector keys;
  Dispatch dispatch;
  MessageDecoder decoder;
};

const Bytes kSurfaceSysex{0xF0, 0x15, 0x01, 0xF7}, kFader1{0xBF, 0x00, 0x10}, kFader2{0xBF, 0x01, 0x11};

// Two input ports hold every buffer they may take; a long message of the surface then
// finds the reserve when it has an output to go to, and needs no buffer when it has
// none; the control events behind it arrive either way.
struct DrainedPoolCase {
  const char* what;
  bool toOurWindow;      // the editor in front (and closed) instead of the application
  bool withOutput;       // the application's Keyset has an output port
  bool reserveTaken;     // nothing at all is left in the pool
  std::vector<Bytes> sent;
};

class DrainedPoolTest : public ::testing::TestWithParam<DrainedPoolCase> {};

TEST_P(DrainedPoolTest, SurfaceLongMessageAndTheEventsBehindIt) {
  const DrainedPoolCase& c = GetParam();
  MidiRig rig(FakeMidiSystem::Delivery::kManual, SysExPool::kSurfaceReserve);
  rig.editor.running = false;
  Keyset a{"A"}, b{"B"};
  a.DeviceMode = kModeStandard;
  ASSERT_TRUE(rig.ports.OpenMidiIn(a, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(b, 1));
  if (c.withOutput) {
    ASSERT_TRUE(rig.ports.OpenMidiOut(a, 0));
  }
  EXPECT_EQ(rig.midi.QueuedInputBuffers(b.MidiInHandle), 1000u);
  ASSERT_EQ(rig.pool->Count(), SysExPool::kSurfaceReserve);
  std::vector<MidiHeader*> taken;
  while (c.reserveTaken && rig.pool->Count() > 0) taken.push_back(rig.pool->Take());

  SurfaceReader reader(rig, c.toOurWindow ? nullptr : &a, c.toOurWindow ? SurfaceReader::kOwnProcess : SurfaceReader::kOtherProcess,
                       c.toOurWindow ? kOwnerEditor : kOwnerOther);
  Bytes bytes = kSurfaceSysex;
  bytes.insert(bytes.end(), kFader1.begin(), kFader1.end());
  bytes.insert(bytes.end(), kFader2.begin(), kFader2.end());
  ASSERT_TRUE(reader.Receive(bytes));
  EXPECT_EQ(rig.midi.Sent(a.MidiOutHandle), c.sent);
  for (MidiHeader* buffer : taken) rig.pool->GiveBack(buffer);
  rig.Settle();
  ASSERT_TRUE(rig.ports.CloseMidiIn(a));
  ASSERT_TRUE(rig.ports.CloseMidiIn(b));
  ASSERT_TRUE(rig.ports.CloseMidiOut(a));
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
}

INSTANTIATE_TEST_SUITE_P(
    MidiForwardingTest, DrainedPoolTest,
    ::testing::Values(DrainedPoolCase{"sent from the reserve", false, true, false, {kSurfaceSysex, kFader1, kFader2}},
                      DrainedPoolCase{"editor in front needs no buffer", true, true, true, {}},
                      DrainedPoolCase{"no output port needs no buffer", false, false, true, {}}),
    test::NameFromWhat());

// The read thread sends the surface's long messages while applications fill both input
// ports with long messages that go to the editor too, and the main thread re-queues:
// every message of the surface arrives, in order, and every buffer comes back.
TEST(MidiForwardingThreadTest, SurfaceLongMessagesFlowWhileInputPortsUseThePool) {
  MidiRig rig(FakeMidiSystem::Delivery::kWorkerThread, SysExPool::kSurfaceReserve);
  Keyset a{"A"}, b{"B"};
  a.DeviceMode = kModeStandard;
  ASSERT_TRUE(rig.ports.OpenMidiIn(a, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(b, 1));
  ASSERT_TRUE(rig.ports.OpenMidiOut(a, 0));
  SurfaceReader reader(rig, &a, SurfaceReader::kOtherProcess);
  constexpr int kRounds = 300;
  std::atomic<bool> done{false};
  std::thread applications([&] {
    for (int i = 0; i < kRounds; ++i) {
      rig.midi.Receive(a.MidiInHandle, Counting(24 + i % 20));
      rig.midi.Receive(b.MidiInHandle, Counting(40));
    }
  });
  std::vector<Bytes> expected;
  std::thread readThread([&] {
    for (int i = 0; i < kRounds; ++i) {
      const Bytes sysex{0xF0, 0x15, static_cast<uint8_t>(i & 0x7F), 0xF7};
      const Bytes fader{0xBF, 0x00, static_cast<uint8_t>(i & 0x7F)};
      Bytes bytes = sysex;
      bytes.insert(bytes.end(), fader.begin(), fader.end());
      if (!reader.Receive(bytes)) break;
      expected.push_back(sysex);
      expected.push_back(fader);
    }
    done = true;
  });
  while (!done) rig.mainThread.RunPending();
  readThread.join();
  applications.join();
  rig.midi.WaitIdle();
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.midi.Sent(a.MidiOutHandle), expected);
  ASSERT_TRUE(rig.ports.CloseMidiIn(a));
  ASSERT_TRUE(rig.ports.CloseMidiIn(b));
  ASSERT_TRUE(rig.ports.CloseMidiOut(a));
  rig.mainThread.RunPending();
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
}

}  // namespace
}  // namespace orvo
