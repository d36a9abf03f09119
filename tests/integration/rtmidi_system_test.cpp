// The Linux MIDI system against a real JACK server and a JACK client playing the
// application; and its graceful failure when no MIDI system can be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "harness/jack_test_app.h"
#include "os/fake/recording_messages.h"
#include "os/linux/midi.h"
#include "support/case_names.h"

namespace orvo {
namespace {

using test::JackTestApp;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

struct Seen : MidiHandler {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<uint32_t> messages;
  std::vector<Bytes> longData;
  std::vector<std::thread::id> threads;
  void OnMidiMessage(std::uintptr_t, uint32_t message, std::uintptr_t param1) override {
    std::lock_guard lock(mutex);
    if (message == kMimData) messages.push_back(static_cast<uint32_t>(param1));
    if (message == kMimLongData || message == kMomDone) {
      auto* header = reinterpret_cast<MidiHeader*>(param1);
      longData.emplace_back(header->data, header->data + header->bytesRecorded);
      threads.push_back(std::this_thread::get_id());
    }
    changed.notify_all();
  }
  bool WaitFor(std::size_t shortCount, std::size_t longCount) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(3), [&] {
      return messages.size() >= shortCount && longData.size() >= longCount;
    });
  }
};

std::vector<std::string> Names(MidiSystem& midi, bool input) {
  std::vector<std::string> names(input ? midi.InDeviceCount() : midi.OutDeviceCount());
  for (uint32_t i = 0; i < names.size(); ++i)
    input ? midi.InDeviceName(i, names[i]) : midi.OutDeviceName(i, names[i]);
  return names;
}

uint32_t IndexOf(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<uint32_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

class RtMidiJackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = JackTestApp::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    app = JackTestApp::Open("orvo-test-app");
    ASSERT_TRUE(app);
    RtMidiOptions options;
    options.api = MidiApiChoice::kJack;
    midi = RtMidiSystem::Create(options, &messages);
    ASSERT_EQ(midi->ApiName(), "jack");
  }
  RecordingMessages messages;
  std::unique_ptr<JackTestApp> app;
  std::unique_ptr<RtMidiSystem> midi;
};

TEST_F(RtMidiJackTest, ListsOtherClientsPortsByFullNameAndNeverOurOwn) {
  auto outs = Names(*midi, false);
  auto ins = Names(*midi, true);
  ASSERT_LT(IndexOf(outs, app->InPort()), outs.size());
  ASSERT_LT(IndexOf(ins, app->OutPort()), ins.size());
  EXPECT_EQ(IndexOf(outs, app->OutPort()), outs.size()) << "a readable port is no output device";

  MidiOutHandle out = 0;
  MidiInHandle in = 0;
  ASSERT_EQ(midi->OutOpen(out, IndexOf(outs, app->InPort()), nullptr), 0u);
  ASSERT_EQ(midi->InOpen(in, IndexOf(ins, app->OutPort()), nullptr, true), 0u);
  // Our two ports (a writable and a readable one) join neither list.
  EXPECT_EQ(Names(*midi, false), outs);
  EXPECT_EQ(Names(*midi, true), ins);
  EXPECT_EQ(midi->InClose(in), 0u);
  EXPECT_EQ(midi->OutClose(out), 0u);
  EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(RtMidiJackTest, ShortAndLongMessagesReachTheApplication) {
  Seen seen;
  MidiOutHandle out = 0;
  const auto outs = Names(*midi, false);
  ASSERT_EQ(midi->OutOpen(out, IndexOf(outs, app->InPort()), &seen), 0u);
  ASSERT_TRUE(app->AwaitLink([&] { midi->OutShortMessage(out, 0xFE); }));
  ASSERT_EQ(midi->OutShortMessage(out, 0x7F4CBE), 0u);
  ASSERT_EQ(midi->OutShortMessage(out, 0x0005C0), 0u);
  std::array<uint8_t, 6> sysex{0xF0, 0x00, 0x01, 0x02, 0x03, 0xF7};
  MidiHeader header;
  header.data = sysex.data();
  header.bufferLength = header.bytesRecorded = sysex.size();
  ASSERT_EQ(midi->OutPrepareHeader(out, &header), 0u);
  ASSERT_EQ(midi->OutLongMessage(out, &header), 0u);
  ASSERT_TRUE(seen.WaitFor(0, 1)) << "kMomDone";
  EXPECT_NE(seen.threads[0], std::this_thread::get_id());
  ASSERT_TRUE(app->WaitForArrivals(3));
  EXPECT_EQ(app->Received(), (std::vector<Bytes>{{0xBE, 0x4C, 0x7F}, {0xC0, 0x05}, Bytes(sysex.begin(), sysex.end())}));
  EXPECT_EQ(midi->OutUnprepareHeader(out, &header), 0u);
  EXPECT_EQ(midi->OutClose(out), 0u);
}

// Sent faster than JACK carries them, a loss is counted and the first drop told once.
TEST_F(RtMidiJackTest, MessagesLostAtTheOutputAreCountedAndToldOnce) {
#if defined(__SANITIZE_THREAD__)
  // Slowed down this much, the library's own process callback misses whole cycles and
  // then drops beyond any period's budget, where no count can see it.
  GTEST_SKIP() << "not meaningful under ThreadSanitizer";
#endif
  std::atomic<int> told{0};
  RtMidiOptions options;
  options.api = MidiApiChoice::kJack;
  options.tellDropped = [&](const std::string& line) {
    EXPECT_EQ(line, kMidiDroppedLine);
    ++told;
  };
  midi.reset();  // one client of ours at a time
  auto counting = RtMidiSystem::Create(options, &messages);
  MidiOutHandle out = 0;
  ASSERT_EQ(counting->OutOpen(out, IndexOf(Names(*counting, false), app->InPort()), nullptr), 0u);
  ASSERT_TRUE(app->AwaitLink([&] { counting->OutShortMessage(out, 0xFE); }));
  const uint64_t droppedBefore = counting->DroppedMessages();

  constexpr std::size_t kSent = 20000;
  for (std::size_t i = 0; i < kSent; ++i) counting->OutShortMessage(out, 0x400090u | (i % 128) << 8);
  auto notes = [&] {
    const auto received = app->Received();
    return static_cast<std::size_t>(
        std::count_if(received.begin(), received.end(), [](const Bytes& m) { return m.size() == 3 && m[0] == 0x90; }));
  };
  std::size_t arrived = 0;
  for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;) {
    std::this_thread::sleep_for(300ms);
    if (notes() == arrived) break;  // quiet
    arrived = notes();
  }
  const uint64_t dropped = counting->DroppedMessages() - droppedBefore;
  RecordProperty("dropped", static_cast<int>(dropped));
  // When the library's own callback falls whole periods behind (a loaded machine, a
  // sanitizer's build), JACK drops beyond what can be counted: the count is then a lower
  // bound, but a loss is never silent.
  EXPECT_LE(arrived + dropped, kSent) << arrived << " arrived, " << dropped << " counted as dropped";
  if (arrived < kSent) {
    EXPECT_GT(dropped, 0u) << kSent - arrived << " messages vanished without a word";
  }
  const uint64_t total = counting->DroppedMessages();  // tells, at the latest
  EXPECT_EQ(told.load(), total > 0 ? 1 : 0);
  EXPECT_EQ(counting->OutClose(out), 0u);
}

TEST_F(RtMidiJackTest, ApplicationMessagesArriveAsShortDataAndSixteenByteBuffers) {
  Seen seen;
  MidiInHandle in = 0;
  const auto ins = Names(*midi, true);
  ASSERT_EQ(midi->InOpen(in, IndexOf(ins, app->OutPort()), &seen, true), 0u);
  struct Buffer {
    MidiHeader header;
    std::array<uint8_t, 16> data{};
  };
  std::array<Buffer, 4> buffers;
  for (auto& b : buffers) {
    b.header.data = b.data.data();
    b.header.bufferLength = 16;
    ASSERT_EQ(midi->InPrepareHeader(in, &b.header), 0u);
    ASSERT_EQ(midi->InAddBuffer(in, &b.header), 0u);
  }
  ASSERT_EQ(midi->InStart(in), 0u);
  Bytes sysex(40);
  for (std::size_t i = 0; i < sysex.size(); ++i) sysex[i] = static_cast<uint8_t>(i);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  app->Send({0x90, 0x3C, 0x64});
  app->Send(sysex);
  app->Send({0xF8});  // clock: not for the surface
  app->Send({0xB0, 0x07, 0x10});
  ASSERT_TRUE(seen.WaitFor(2, 3));
  EXPECT_EQ(seen.messages, (std::vector<uint32_t>{0x643C90, 0x1007B0}));
  EXPECT_EQ(seen.longData, (std::vector<Bytes>{Bytes(sysex.begin(), sysex.begin() + 16),
                                               Bytes(sysex.begin() + 16, sysex.begin() + 32),
                                               Bytes(sysex.begin() + 32, sysex.end())}));
  EXPECT_EQ(midi->InReset(in), 0u);
  EXPECT_EQ(seen.longData.size(), 4u) << "the reset hands back the unused buffer";
  EXPECT_EQ(midi->InClose(in), 0u);
}

TEST_F(RtMidiJackTest, AnApplicationThatRestartsCanBeOpenedAgain) {
  const auto outs = Names(*midi, false);
  MidiOutHandle out = 0;
  ASSERT_EQ(midi->OutOpen(out, IndexOf(outs, app->InPort()), nullptr), 0u);
  app.reset();
  EXPECT_EQ(midi->OutShortMessage(out, 0x7F4090), 0u) << "sending into a vanished port is harmless";
  EXPECT_EQ(midi->OutClose(out), 0u);
  app = JackTestApp::Open("orvo-test-app");
  ASSERT_TRUE(app);
  const auto again = Names(*midi, false);
  ASSERT_EQ(midi->OutOpen(out, IndexOf(again, app->InPort()), nullptr), 0u);
  EXPECT_TRUE(app->AwaitLink([&] { midi->OutShortMessage(out, 0x7F4090); }));
  EXPECT_EQ(midi->OutClose(out), 0u);
}

// No MIDI system: the program still runs, lists nothing, opens nothing, and says why once.
struct AbsentCase {
  const char* what;
  MidiApiChoice api;
  const char* expectedStart;
};

class RtMidiAbsentTest : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(RtMidiAbsentTest, RunsWithoutPortsAndSaysWhyOnce) {
  // A server name nobody uses, so that no JACK server answers.
  const char* saved = std::getenv("JACK_DEFAULT_SERVER");
  const std::string previous = saved ? saved : "";
  setenv("JACK_DEFAULT_SERVER", "orvo-nobody-here", 1);
  RecordingMessages messages;
  RtMidiOptions options;
  options.api = GetParam().api;
  options.alsaSequencer = "/nonexistent/snd/seq";
  auto midi = RtMidiSystem::Create(options, &messages);
  if (saved) setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1); else unsetenv("JACK_DEFAULT_SERVER");

  EXPECT_EQ(midi->ApiName(), "none");
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0].rfind(GetParam().expectedStart, 0), 0u) << messages.Texts()[0];
  EXPECT_NE(messages.Texts()[0].find("MIDI ports stay closed."), std::string::npos);
  EXPECT_EQ(midi->OutDeviceCount(), 0u);
  EXPECT_EQ(midi->InDeviceCount(), 0u);
  MidiOutHandle out = 0;
  EXPECT_EQ(midi->OutOpen(out, 0, nullptr), kMidiBadDeviceId);
  EXPECT_EQ(messages.Texts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Apis, RtMidiAbsentTest,
    ::testing::Values(AbsentCase{"alsa", MidiApiChoice::kAlsa, "The ALSA sequencer (/nonexistent/snd/seq) is not available"},
                      AbsentCase{"jack", MidiApiChoice::kJack, "No JACK server is running (server: \"orvo-nobody-here\")"},
                      AbsentCase{"automatic", MidiApiChoice::kAuto, "No MIDI system is available: no JACK server"}),
    test::NameFromWhat());

TEST(RtMidiAlsaTest, TheRealSequencerFailsGracefullyWhenMissing) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has an ALSA sequencer";
  RecordingMessages messages;
  RtMidiOptions options;
  options.api = MidiApiChoice::kAlsa;
  auto midi = RtMidiSystem::Create(options, &messages);
  EXPECT_EQ(midi->ApiName(), "none");
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                  "The ALSA sequencer (/dev/snd/seq) is not available. MIDI ports stay closed."});
}

TEST(MidiApiOptionTest, ParsesTheThreeChoices) {
  EXPECT_EQ(ParseMidiApi("jack"), MidiApiChoice::kJack);
  EXPECT_EQ(ParseMidiApi("alsa"), MidiApiChoice::kAlsa);
  EXPECT_EQ(ParseMidiApi("auto"), MidiApiChoice::kAuto);
  EXPECT_FALSE(ParseMidiApi("JACK2").has_value());
}

}  // namespace
}  // namespace orvo
