// The Linux MIDI system when no MIDI system can be used: it still works, lists nothing,
// opens nothing, and says why once; and the choice of library on the command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "os/fake/recording_messages.h"
#include "os/linux/midi.h"
#include "support/case_names.h"

namespace orvo {
namespace {

// No MIDI system: the program still runs, lists nothing, opens nothing, and says why once.
struct AbsentCase {
  const char* what;
  MidiApiChoice api;
  const char* expectedStart;
};

class NoMidiSystemTest : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(NoMidiSystemTest, RunsWithoutPortsAndSaysWhyOnce) {
  // A server name nobody uses, so that no JACK server answers.
  const char* saved = std::getenv("JACK_DEFAULT_SERVER");
  const std::string previous = saved ? saved : "";
  setenv("JACK_DEFAULT_SERVER", "orvo-nobody-here", 1);
  RecordingMessages messages;
  LinuxMidiOptions options;
  options.api = GetParam().api;
  options.alsaSequencer = "/nonexistent/snd/seq";
  auto midi = LinuxMidiSystem::Create(options, &messages);

  EXPECT_EQ(midi->ApiName(), "none");
  EXPECT_EQ(midi->Problem(), messages.Texts().empty() ? "" : messages.Texts()[0]) << "as long as no server answers";
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0].rfind(GetParam().expectedStart, 0), 0u) << messages.Texts()[0];
  EXPECT_NE(messages.Texts()[0].find("MIDI ports stay closed."), std::string::npos);
  EXPECT_EQ(midi->OutDeviceCount(), 0u);
  EXPECT_EQ(midi->InDeviceCount(), 0u);
  MidiOutHandle out = 0;
  EXPECT_EQ(midi->OutOpen(out, 0, nullptr), kMidiBadDeviceId);
  EXPECT_EQ(messages.Texts().size(), 1u);
  midi.reset();  // the JACK choices go on trying the server until here
  if (saved) setenv("JACK_DEFAULT_SERVER", previous.c_str(), 1); else unsetenv("JACK_DEFAULT_SERVER");
}

INSTANTIATE_TEST_SUITE_P(
    Apis, NoMidiSystemTest,
    ::testing::Values(AbsentCase{"alsa", MidiApiChoice::kAlsa, "The ALSA sequencer (/nonexistent/snd/seq) is not available"},
                      AbsentCase{"jack", MidiApiChoice::kJack, "No JACK server is running (server: \"orvo-nobody-here\")"},
                      AbsentCase{"automatic", MidiApiChoice::kAuto, "No MIDI system is available: no JACK server"}),
    test::NameFromWhat());

TEST(AlsaSequencerTest, TheRealSequencerFailsGracefullyWhenMissing) {
  if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has an ALSA sequencer";
  RecordingMessages messages;
  LinuxMidiOptions options;
  options.api = MidiApiChoice::kAlsa;
  auto midi = LinuxMidiSystem::Create(options, &messages);
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
