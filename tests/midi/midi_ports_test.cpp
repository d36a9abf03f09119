// Opening and closing a Keyset's ports, and the wording of every failure.
#include "midi/midi_ports.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/case_names.h"
#include "support/midi_rig.h"

namespace orvo {
namespace {

using test::MidiRig;

struct ErrorTextCase {
  const char* what;
  MidiResult code;
  const char* text;
};

class MidiErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(MidiErrorTextTest, AppendsTheFixedText) {
  std::string text = "X: ";
  AppendMidiErrorText(GetParam().code, text);
  EXPECT_EQ(text, std::string("X: ") + GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MidiErrorTextTest,
    ::testing::Values(ErrorTextCase{"no error", 0, "No error"},
                      ErrorTextCase{"bad device", 2, "The specified device identifier is out of range."},
                      ErrorTextCase{"allocated", 4, "The specified resource is already allocated."},
                      ErrorTextCase{"invalid handle", 5, "The specified device handle is invalid."},
                      ErrorTextCase{"no memory", 7, "The system is unable to allocate or lock memory."},
                      ErrorTextCase{"invalid flag", 10, "The flags specified by dwFlags are invalid."},
                      ErrorTextCase{"invalid param", 11, "The specified pointer or structure is invalid."},
                      ErrorTextCase{"still playing", 65, "Buffers are still in the queue."},
                      ErrorTextCase{"unlisted 1", 1, "Unspecified MIDI error"},
                      ErrorTextCase{"unlisted 3", 3, "Unspecified MIDI error"},
                      ErrorTextCase{"unprepared 64", 64, "Unspecified MIDI error"}),
    test::NameFromWhat());

class MidiPortsTest : public ::testing::Test {
 protected:
  MidiRig rig;
  Keyset keyset{"DEFAULT"};
};

TEST_F(MidiPortsTest, OpenByNameIgnoresCaseAndTheLowerNumberWins) {
  // Devices 0 and 2 differ only in case; both match.
  ASSERT_TRUE(rig.ports.OpenMidiOutByName(keyset, "Synth:midi in"));
  EXPECT_EQ(rig.midi.DeviceOf(keyset.MidiOutHandle), "synth:MIDI in");
  ASSERT_TRUE(rig.ports.OpenMidiInByName(keyset, "LOOPER:MIDI OUT"));
  EXPECT_TRUE(rig.messages.Texts().empty());
}

TEST_F(MidiPortsTest, ADeviceWhoseNameCannotBeReadIsSkipped) {
  rig.midi.FailNext("OutDeviceName", kMidiNoMemory);
  ASSERT_TRUE(rig.ports.OpenMidiOutByName(keyset, "synth:midi in"));
  EXPECT_EQ(rig.midi.DeviceOf(keyset.MidiOutHandle), "SYNTH:midi IN");
}

TEST_F(MidiPortsTest, UnknownOrEmptyNamesOpenNothingAndShowNothing) {
  EXPECT_FALSE(rig.ports.OpenMidiOutByName(keyset, "gone:MIDI in"));
  EXPECT_FALSE(rig.ports.OpenMidiInByName(keyset, "gone:MIDI out"));
  EXPECT_FALSE(rig.ports.OpenMidiOutByName(keyset, ""));
  EXPECT_EQ(keyset.MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_EQ(keyset.MidiInHandle.load(), kNoMidiHandle);
  EXPECT_EQ(rig.midi.CountOf("OutOpen") + rig.midi.CountOf("InOpen"), 0);
  EXPECT_TRUE(rig.messages.Texts().empty());
}

TEST_F(MidiPortsTest, OpeningAnOpenPortAsksToCloseItFirstAndLeavesItAlone) {
  ASSERT_TRUE(rig.ports.OpenMidiOut(keyset, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  const MidiOutHandle out = keyset.MidiOutHandle;
  const MidiInHandle in = keyset.MidiInHandle;
  EXPECT_FALSE(rig.ports.OpenMidiOut(keyset, 1));
  EXPECT_FALSE(rig.ports.OpenMidiIn(keyset, 1));
  EXPECT_EQ(rig.messages.Texts(), (std::vector<std::string>{
                                      "DEFAULT: MIDI Out construct Error: Please Destruct MIDI Out for this app first.",
                                      "DEFAULT: MIDI In construct Error: Please Destruct MIDI In for this app first."}));
  EXPECT_EQ(keyset.MidiOutHandle.load(), out);
  EXPECT_EQ(keyset.MidiInHandle.load(), in);
  EXPECT_TRUE(rig.midi.IsOpen(out));
  EXPECT_EQ(rig.midi.CountOf("OutOpen"), 1);
}

struct RefusalCase {
  const char* what;
  bool input;
  const char* call;
  MidiResult code;
  const char* message;
};

class MidiPortRefusalTest : public MidiPortsTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MidiPortRefusalTest, ShowsOneLineAndLeavesThePortAbsent) {
  const auto& c = GetParam();
  rig.midi.FailNext(c.call, c.code);
  EXPECT_FALSE(c.input ? rig.ports.OpenMidiIn(keyset, 0) : rig.ports.OpenMidiOut(keyset, 0));
  EXPECT_EQ(rig.messages.Texts(), std::vector<std::string>{c.message});
  EXPECT_EQ(keyset.MidiInHandle.load(), kNoMidiHandle);
  EXPECT_EQ(keyset.MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_EQ(rig.midi.OpenPortCount(), 0u);
  EXPECT_EQ(rig.pool->Count(), 2000u) << "a port that failed to start gave its buffers back";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MidiPortRefusalTest,
    ::testing::Values(
        RefusalCase{"output allocated", false, "OutOpen", kMidiAllocated,
                    "DEFAULT: MIDI Out construct Error: The specified resource is already allocated."},
        RefusalCase{"input bad device", true, "InOpen", kMidiBadDeviceId,
                    "DEFAULT: MIDI In construct Error: The specified device identifier is out of range."},
        RefusalCase{"output unknown code", false, "OutOpen", 3, "DEFAULT: MIDI Out construct Error: Unspecified MIDI error"},
        RefusalCase{"input start fails", true, "InStart", kMidiInvalidHandle,
                    "DEFAULT: MIDI In construct Error: The specified device handle is invalid."}),
    test::NameFromWhat());

TEST_F(MidiPortsTest, ClosingAnAbsentPortSucceedsSilently) {
  EXPECT_TRUE(rig.ports.CloseMidiIn(keyset));
  EXPECT_TRUE(rig.ports.CloseMidiOut(keyset));
  EXPECT_TRUE(rig.messages.Texts().empty());
  EXPECT_EQ(rig.midi.Calls().size(), 0u);
}

TEST_F(MidiPortsTest, AFailedCloseKeepsThePortAndALaterCloseRetries) {
  ASSERT_TRUE(rig.ports.OpenMidiOut(keyset, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  const MidiInHandle in = keyset.MidiInHandle;
  rig.midi.FailNext("OutReset", kMidiInvalidHandle);
  rig.midi.FailNext("InClose", kMidiStillPlaying);
  EXPECT_FALSE(rig.ports.CloseMidiOut(keyset));
  EXPECT_FALSE(rig.ports.CloseMidiIn(keyset));
  EXPECT_EQ(rig.messages.Texts(),
            (std::vector<std::string>{"DEFAULT: MIDI Out destruct Error: The specified device handle is invalid.",
                                      "DEFAULT: MIDI In destruct Error: Buffers are still in the queue."}));
  EXPECT_NE(keyset.MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_EQ(keyset.MidiInHandle.load(), in);
  EXPECT_EQ(rig.midi.CountOf("OutClose"), 0) << "no close after a failed reset";
  EXPECT_TRUE(rig.ports.CloseMidiOut(keyset));
  EXPECT_TRUE(rig.ports.CloseMidiIn(keyset));
  EXPECT_EQ(rig.midi.OpenPortCount(), 0u);
  EXPECT_EQ(rig.pool->Count(), 2000u);
}

// The read thread sent a long message on the handle it read just before the close took
// it away: the close finds it still playing once, and resets again instead of failing.
TEST_F(MidiPortsTest, ALongMessageSentJustBeforeTheCloseIsNoError) {
  ASSERT_TRUE(rig.ports.OpenMidiOut(keyset, 0));
  const MidiOutHandle out = keyset.MidiOutHandle;
  rig.midi.FailNext("OutClose", kMidiStillPlaying);
  EXPECT_TRUE(rig.ports.CloseMidiOut(keyset));
  EXPECT_TRUE(rig.messages.Texts().empty());
  EXPECT_EQ(rig.midi.CountOf("OutReset"), 2);
  EXPECT_FALSE(rig.midi.IsOpen(out));
  EXPECT_EQ(keyset.MidiOutHandle.load(), kNoMidiHandle);
}

TEST_F(MidiPortsTest, ThreeInputPortsShareTwoThousandBuffersAndTheThirdGetsNone) {
  Keyset a{"A"}, b{"B"}, c{"C"};
  ASSERT_TRUE(rig.ports.OpenMidiIn(a, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(b, 1));
  ASSERT_TRUE(rig.ports.OpenMidiIn(c, 2));
  EXPECT_EQ(rig.midi.QueuedInputBuffers(a.MidiInHandle), 1000u);
  EXPECT_EQ(rig.midi.QueuedInputBuffers(b.MidiInHandle), 1000u);
  EXPECT_EQ(rig.midi.QueuedInputBuffers(c.MidiInHandle), 0u);
  EXPECT_EQ(rig.pool->Count(), 0u);
  EXPECT_TRUE(rig.messages.Texts().empty());
  EXPECT_EQ(rig.midi.CountOf("InStart"), 3);
  // The third port still forwards short messages.
  rig.midi.Receive(c.MidiInHandle, {0x90, 0x01, 0x02});
  rig.Settle();
  EXPECT_EQ(rig.surface.Written(), (std::vector<uint8_t>{0x90, 0x01, 0x02}));
}

TEST_F(MidiPortsTest, ClosedAndReopenedInputGetsItsFullShareAgain) {
  Keyset other{"OTHER"};
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  ASSERT_TRUE(rig.ports.OpenMidiIn(other, 1));
  ASSERT_TRUE(rig.ports.CloseMidiIn(keyset));
  EXPECT_EQ(rig.pool->Count(), 1000u) << "the reset's buffers are back before the close returns";
  ASSERT_TRUE(rig.ports.OpenMidiIn(keyset, 0));
  EXPECT_EQ(rig.midi.QueuedInputBuffers(keyset.MidiInHandle), 1000u);
  rig.Settle();
  EXPECT_EQ(rig.pool->Count(), 0u);
}

TEST_F(MidiPortsTest, OpenAllOpensStoredNamesInputFirstAndGoesOnAfterFailures) {
  Mapper mapper;
  Keyset* empty = mapper.FindOrCreate("EMPTY", true);
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  Keyset* gone = mapper.FindOrCreate("GONE", true);
  Keyset* refused = mapper.FindOrCreate("REFUSED", true);
  seq->MidiInPort.Set("looper:midi in");
  seq->MidiOutPort.Set("looper:midi out");
  gone->MidiInPort.Set("nowhere:in");
  refused->MidiOutPort.Set("drums:MIDI out");
  refused->MidiInPort.Set("synth:MIDI in");
  rig.midi.FailNext("InOpen", kMidiAllocated, 2);  // SEQ's then REFUSED's input

  EXPECT_TRUE(rig.ports.OpenAllMidiPorts(mapper));
  EXPECT_EQ(empty->MidiInHandle.load() | empty->MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_EQ(seq->MidiInHandle.load(), kNoMidiHandle);
  EXPECT_NE(seq->MidiOutHandle.load(), kNoMidiHandle) << "a failed input does not stop the output";
  EXPECT_EQ(gone->MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_NE(refused->MidiOutHandle.load(), kNoMidiHandle);
  auto texts = rig.messages.Texts();  // in the Mapper's order
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts,
            (std::vector<std::string>{"REFUSED: MIDI In construct Error: The specified resource is already allocated.",
                                      "SEQ: MIDI In construct Error: The specified resource is already allocated."}));
  std::vector<std::string> opens;
  for (const auto& call : rig.midi.Calls())
    if (call.name == "InOpen" || call.name == "OutOpen") opens.push_back(call.name);
  EXPECT_EQ(opens, (std::vector<std::string>{"InOpen", "OutOpen", "InOpen", "OutOpen"}));

  EXPECT_TRUE(rig.ports.CloseAllMidiPorts(mapper));
  EXPECT_EQ(rig.midi.OpenPortCount(), 0u);
}

TEST_F(MidiPortsTest, CloseAllReturnsEveryBufferIncludingLongMessagesInFlight) {
  Mapper mapper;
  Keyset* a = mapper.FindOrCreate("A", true);
  Keyset* b = mapper.FindOrCreate("B", true);
  a->MidiOutPort.Set("synth:MIDI out");
  a->MidiInPort.Set("synth:MIDI in");
  b->MidiOutPort.Set("looper:MIDI out");
  rig.ports.OpenAllMidiPorts(mapper);
  ASSERT_EQ(rig.pool->Count(), 0u);
  // Host messages finished but not yet re-queued by the main thread.
  rig.midi.Receive(a->MidiInHandle, {0xF0, 1, 2, 3, 0xF7});
  rig.midi.Receive(b->MidiInHandle, std::vector<uint8_t>(40, 0x11));
  rig.midi.DeliverPending();
  EXPECT_EQ(rig.ports.Completions().Pending(), 4u);

  EXPECT_TRUE(rig.ports.CloseAllMidiPorts(mapper));
  EXPECT_EQ(rig.pool->Count(), 2000u);
  EXPECT_EQ(rig.midi.OpenPortCount(), 0u);
  rig.mainThread.RunPending();  // the posts made meanwhile find nothing left to do
  EXPECT_EQ(rig.pool->Count(), 2000u);
}

}  // namespace
}  // namespace orvo
