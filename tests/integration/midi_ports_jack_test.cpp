// Keysets' MIDI ports on a real JACK server, with a JACK client playing the application
// and a recorded surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "harness/jack_test_app.h"
#include "support/jack_ports_rig.h"
#include "support/midi_rig.h"

namespace orvo {
namespace {

using test::JackTestApp;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

class MidiPortsJackTest : public ::testing::Test, public test::JackPortsRig {
 public:
  void SetUp() override {
    if (std::string why = JackTestApp::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(Open("orvo-test-seq"));
  }
  void TearDown() override { Close(); }
  bool AwaitSurfaceWrite() { return SurfaceHearsFrom(*app); }
  std::vector<Bytes> SurfaceWrites() const {
    std::vector<Bytes> writes;
    for (const auto& event : surface.Events()) writes.push_back(event.bytes);
    return writes;
  }

};

TEST_F(MidiPortsJackTest, StoredNamesOpenIgnoringCaseAndAbsentOnesWaitQuietly) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set("ORVO-TEST-SEQ:midi in");
  seq->MidiOutPort.Set("orvo-test-seq:MIDI OUT");
  Keyset* gone = mapper.FindOrCreate("GONE", true);
  gone->MidiInPort.Set("nobody:MIDI in");
  gone->MidiOutPort.Set("nobody:MIDI out");
  ports->OpenAllMidiPorts(mapper);
  EXPECT_NE(seq->MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_NE(seq->MidiInHandle.load(), kNoMidiHandle);
  // Not running now: our ports open all the same, to be connected when it starts.
  EXPECT_NE(gone->MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_NE(gone->MidiInHandle.load(), kNoMidiHandle);
  EXPECT_TRUE(messages.Texts().empty());
  EXPECT_FALSE(ports->OpenMidiOut(*seq, 0));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "SEQ: MIDI Out construct Error: Please Destruct MIDI Out for this app first."});
}

TEST_F(MidiPortsJackTest, AmongNamesEqualButForCaseTheLowerDeviceNumberWins) {
  auto first = JackTestApp::Open("Twin-App");
  auto second = JackTestApp::Open("twin-app");
  ASSERT_TRUE(first && second);
  Keyset keyset{"TWIN"};
  ASSERT_TRUE(ports->OpenMidiOutByName(keyset, "TWIN-APP:MIDI IN"));
  std::vector<std::string> names(midi->OutDeviceCount());
  for (uint32_t i = 0; i < names.size(); ++i) midi->OutDeviceName(i, names[i]);
  const auto lower = std::find_if(names.begin(), names.end(), [](const std::string& n) {
    return n == "Twin-App:MIDI in" || n == "twin-app:MIDI in";
  });
  ASSERT_NE(lower, names.end());
  JackTestApp& chosen = *lower == "Twin-App:MIDI in" ? *first : *second;
  JackTestApp& other = &chosen == first.get() ? *second : *first;
  ASSERT_TRUE(chosen.AwaitLink([&] { midi->OutShortMessage(keyset.MidiOutHandle, 0xFE); }));
  midi->OutShortMessage(keyset.MidiOutHandle, 0x7F4090);
  EXPECT_TRUE(chosen.WaitForArrivals(1));
  EXPECT_TRUE(other.Received().empty());
  EXPECT_TRUE(ports->CloseMidiOut(keyset));
}

TEST_F(MidiPortsJackTest, ApplicationMidiReachesTheSurfaceAndSurfaceMidiTheApplication) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set(app->InPort());
  seq->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  ASSERT_NE(seq->MidiInHandle.load(), kNoMidiHandle);
  ASSERT_TRUE(app->WaitForConnections(2));
  ASSERT_TRUE(AwaitSurfaceWrite());  // a new link may miss its first periods (PipeWire)
  std::this_thread::sleep_for(50ms);
  RunMainThreadUntil([] { return true; });
  const int probes = surface.Queued();

  // Application -> surface: a program change, a 40-byte message, a note.
  Bytes sysex(40);
  for (std::size_t i = 0; i < sysex.size(); ++i) sysex[i] = static_cast<uint8_t>(i);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  app->Send({0xC0, 0x05});
  app->Send(sysex);
  app->Send({0x90, 0x3C, 0x64});
  ASSERT_TRUE(RunMainThreadUntil([&] { return surface.Queued() >= probes + 3; }));
  const std::vector<Bytes> writes = SurfaceWrites();
  // The long message arrives in three buffers and goes to the surface whole.
  EXPECT_EQ(std::vector<Bytes>(writes.begin() + probes, writes.end()),
            (std::vector<Bytes>{{0xC0, 0x05, 0x00}, sysex, {0x90, 0x3C, 0x64}}));
  EXPECT_EQ(midi->QueuedInputBuffers(seq->MidiInHandle), 1000u) << "all three re-queued";

  // Surface -> application, as dispatch sends: a short message and a pool buffer.
  const MidiOutHandle out = seq->MidiOutHandle;
  ASSERT_TRUE(app->AwaitLink([&] { midi->OutShortMessage(out, 0xFE); }));
  ASSERT_EQ(midi->OutShortMessage(out, 0x7F4CBE), 0u);
  MidiHeader* buffer = pool->Take();
  const Bytes lamp{0xF0, 0x00, 0x20, 0x21, 0x7F, 0xF7};
  std::copy(lamp.begin(), lamp.end(), buffer->data);
  buffer->bufferLength = buffer->bytesRecorded = static_cast<uint32_t>(lamp.size());
  ASSERT_EQ(midi->OutPrepareHeader(out, buffer), 0u);
  ASSERT_EQ(midi->OutLongMessage(out, buffer), 0u);
  ASSERT_TRUE(app->WaitForArrivals(2));
  EXPECT_EQ(app->Received(), (std::vector<Bytes>{{0xBE, 0x4C, 0x7F}, lamp}));
  EXPECT_TRUE(RunMainThreadUntil([&] { return pool->Count() == 1000u; })) << "the sent buffer came back";
}

TEST_F(MidiPortsJackTest, ThreeInputsOnTwoThousandBuffersLeaveTheThirdWithoutAndSilent) {
  for (const char* name : {"A", "B", "C"}) mapper.FindOrCreate(name, true)->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  std::vector<std::size_t> queued;
  mapper.ForEachKeyset([&](const auto&, Keyset& keyset) {
    ASSERT_NE(keyset.MidiInHandle.load(), kNoMidiHandle);
    queued.push_back(midi->QueuedInputBuffers(keyset.MidiInHandle));
  });
  std::sort(queued.begin(), queued.end());
  EXPECT_EQ(queued, (std::vector<std::size_t>{0, 1000, 1000}));
  EXPECT_EQ(pool->Count(), 0u);
  EXPECT_TRUE(messages.Texts().empty());
  // Every open input forwards, with or without buffers (sent again while a new link may
  // still miss its first periods).
  ASSERT_TRUE(app->WaitForConnections(3));
  bool all = false;
  for (int attempt = 0; attempt < 50 && !all; ++attempt) {
    app->Send({0x90, 0x3C, 0x64});
    all = RunMainThreadUntil([&] { return surface.Queued() >= 3; }, 100ms);
  }
  EXPECT_TRUE(all);
}

TEST_F(MidiPortsJackTest, ClosingWhileBuffersAreInFlightReturnsThemAll) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set(app->InPort());
  seq->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  for (int i = 0; i < 50; ++i) app->Send(Bytes(100, 0x22));  // 7 buffers each
  const MidiOutHandle out = seq->MidiOutHandle;
  for (int i = 0; i < 20; ++i) {
    MidiHeader* buffer = pool->Take();
    buffer->bufferLength = 2;
    midi->OutPrepareHeader(out, buffer);
    midi->OutLongMessage(out, buffer);
  }
  std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(ports->CloseMidiIn(*seq));
  EXPECT_TRUE(ports->CloseMidiOut(*seq));
  mainThread.RunPending();
  EXPECT_EQ(pool->Count(), 2000u);
  EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(MidiPortsJackTest, PortsReopenAfterTheApplicationRestarts) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set(app->InPort());
  seq->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  app.reset();  // the application quits ...
  app = JackTestApp::Open("orvo-test-seq");  // ... and starts again
  ASSERT_TRUE(app);
  ASSERT_TRUE(ports->CloseMidiIn(*seq));
  ASSERT_TRUE(ports->CloseMidiOut(*seq));
  ASSERT_TRUE(ports->OpenMidiInByName(*seq, seq->MidiOutPort.Get()));
  ASSERT_TRUE(ports->OpenMidiOutByName(*seq, seq->MidiInPort.Get()));
  ASSERT_TRUE(AwaitSurfaceWrite());
  EXPECT_TRUE(app->AwaitLink([&] { midi->OutShortMessage(seq->MidiOutHandle, 0x7F4090); }));
}

// A note from the surface reaches the application, and one from the application the
// surface; each is repeated a few times, as a new connection may miss its first cycles.
bool TrafficFlowsBothWays(MidiPortsJackTest& test, const Keyset& keyset) {
  return test.app->AwaitLink([&] { test.midi->OutShortMessage(keyset.MidiOutHandle, 0xFE); }) &&
         test.AwaitSurfaceWrite();
}

TEST_F(MidiPortsJackTest, OpenPortsFollowTheApplicationThroughRestarts) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set(app->InPort());
  seq->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  const MidiOutHandle out = seq->MidiOutHandle;
  const MidiInHandle in = seq->MidiInHandle;
  ASSERT_NE(out, kNoMidiHandle);
  ASSERT_NE(in, kNoMidiHandle);
  ASSERT_TRUE(app->WaitForConnections(2));
  ASSERT_TRUE(TrafficFlowsBothWays(*this, *seq));

  for (int restart = 1; restart <= 2; ++restart) {
    SCOPED_TRACE(restart);
    app.reset();  // the application quits: our ports stay open and unconnected
    EXPECT_TRUE(midi->IsOpen(out) && midi->IsOpen(in));
    EXPECT_EQ(midi->OutShortMessage(out, 0x7F4090), 0u) << "sent into nowhere";
    MidiHeader* buffer = pool->Take();
    buffer->bufferLength = 2;
    ASSERT_EQ(midi->OutPrepareHeader(out, buffer), 0u);
    ASSERT_EQ(midi->OutLongMessage(out, buffer), 0u);

    app = JackTestApp::Open("orvo-test-seq");  // ... and starts again, under the same names
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->WaitForConnections(2, 10s)) << "both ports connected again";
    EXPECT_TRUE(TrafficFlowsBothWays(*this, *seq));
    EXPECT_EQ(seq->MidiOutHandle.load(), out);
    EXPECT_EQ(seq->MidiInHandle.load(), in);
    EXPECT_TRUE(RunMainThreadUntil([&] { return pool->Count() == 1000u; })) << "the buffer sent meanwhile";
  }
  EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(MidiPortsJackTest, PortsCloseWhileTheApplicationIsAwayAndStayClosedWhenItReturns) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->MidiInPort.Set(app->InPort());
  seq->MidiOutPort.Set(app->OutPort());
  ports->OpenAllMidiPorts(mapper);
  ASSERT_TRUE(app->WaitForConnections(2));
  app.reset();
  EXPECT_TRUE(ports->CloseMidiIn(*seq));
  EXPECT_TRUE(ports->CloseMidiOut(*seq));
  mainThread.RunPending();
  EXPECT_EQ(pool->Count(), 2000u);
  EXPECT_EQ(midi->OpenPortCount(), 0u);
  app = JackTestApp::Open("orvo-test-seq");
  ASSERT_TRUE(app);
  EXPECT_FALSE(app->WaitForConnections(1, 500ms)) << "a closed port is not followed";
  EXPECT_TRUE(messages.Texts().empty());
}

}  // namespace
}  // namespace orvo
