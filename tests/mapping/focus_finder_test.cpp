#include "mapping/focus_finder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "mapping/keyset.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_messages.h"
#include "os/fake/scripted_foreground.h"
#include "protocol/device_modes.h"
#include "support/case_names.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOwnPid = 4000;
constexpr uint32_t kSequencerPid = 101;
constexpr uint32_t kEditorPid = 102;  // "editor", no Keyset of its own
constexpr uint32_t kShellPid = 103;   // "shell", no Keyset of its own
constexpr uint32_t kToolPid = 104;    // "my.tool" -> "my"
constexpr uint32_t kBrokenPid = 105;  // a Keyset whose mode the surface refuses

// The Keysets an application would have loaded, with the "sequencer" in Kelo mode.
Keyset* AddKeyset(EngineContext& engine, const char* name, int32_t mode) {
  Keyset* keyset = engine.Mapper.FindOrCreate(name, true);
  keyset->DeviceMode = mode;
  return keyset;
}

std::vector<const Keyset*> ShownKeysets(const test::RecordingEditor& editor) {
  std::vector<const Keyset*> shown;
  for (const auto& note : editor.Notes())
    if (note.kind == test::RecordingEditor::Kind::kShow) shown.push_back(note.keyset);
  return shown;
}

class FocusFinderTest : public ::testing::Test {
 protected:
  FocusFinderTest() {
    defaultKeyset_ = AddKeyset(engine_, "DEFAULT", kModeStandard);
    engine_.Mapper.SetDefaultKeyset(defaultKeyset_);
    sequencer_ = AddKeyset(engine_, "SEQUENCER", kModeKelo);
    my_ = AddKeyset(engine_, "MY", kModeHost);
    broken_ = AddKeyset(engine_, "BROKEN", kModeEnhanced);
    foreground_.SetProcessName(kOwnPid, "orvo");
    foreground_.SetProcessName(kSequencerPid, "sequencer");  // lower case, as executables are
    foreground_.SetProcessName(kEditorPid, "editor");
    foreground_.SetProcessName(kShellPid, "shell");
    foreground_.SetProcessName(kToolPid, "my");
    foreground_.SetProcessName(kBrokenPid, "broken");
    engine_.Protocol.CurrentDeviceMode = kModeStandard;  // as after the link was configured
    engine_.FocusState.CreateFocusState();
  }

  FocusFinderServices Services(ForegroundQuery& foreground, std::chrono::milliseconds interval = 20ms) {
    return FocusFinderServices{foreground, engine_, device_, messages_, editor_,
                               [this](const std::string& line) {
                                 std::lock_guard lock(noticesMutex_);
                                 notices_.push_back(line);
                               },
                               interval};
  }
  std::vector<std::string> Notices() {
    std::lock_guard lock(noticesMutex_);
    return notices_;
  }
  FocusSnapshot Recorded() const { return engine_.FocusState.Current()->Peek(); }

  ScriptedForeground foreground_;
  EngineContext engine_{kOwnPid};
  test::RecordingDevice device_;
  RecordingMessages messages_;
  test::RecordingEditor editor_;
  Keyset* defaultKeyset_;
  Keyset* sequencer_;
  Keyset* my_;
  Keyset* broken_;
  std::mutex noticesMutex_;
  std::vector<std::string> notices_;
};

TEST_F(FocusFinderTest, FocusOnTheSequencerPutsItsKeysetAndModeInForce) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kSequencerPid);
  const FocusPollResult result = finder.PollOnce();

  EXPECT_TRUE(result.Changed);
  const FocusSnapshot fields = Recorded();
  EXPECT_EQ(fields.ProcessId, kSequencerPid);
  EXPECT_EQ(fields.ActiveKeyset, sequencer_);
  EXPECT_EQ(engine_.Protocol.CurrentDeviceMode, kModeKelo);
  ASSERT_EQ(device_.Events().size(), 1u);
  EXPECT_EQ(device_.Events().front().bytes, (Bytes{0xF0, 0x15, 0x15, 0x01, 0xF7}));
  EXPECT_EQ(ShownKeysets(editor_), (std::vector<const Keyset*>{}));  // the thread delivers, not PollOnce
  EXPECT_TRUE(result.ShowKeyset);
  EXPECT_EQ(result.Shown, sequencer_);
}

// The lamp burst of a switch to a Host-mode Keyset brings back what its application lit.
TEST_F(FocusFinderTest, SwitchToAHostKeysetLightsItsRememberedLamps) {
  my_->Lamps.Remember(0xBD, 0x00, 0x7F);     // Mute 1
  sequencer_->Lamps.Remember(0xBE, 0x4F, 0x7F);  // another application's RECORD
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kToolPid);
  ASSERT_TRUE(finder.PollOnce().Changed);
  Bytes expected(DarkLampBuffer().begin(), DarkLampBuffer().end());
  expected[static_cast<std::size_t>(LampSlot(0xBD, 0x00)) * 3 + 2] = 0x7F;
  const auto events = device_.Events();
  ASSERT_EQ(events.size(), 2u);  // mode, lamps
  EXPECT_EQ(events[1].bytes, expected);
}

TEST_F(FocusFinderTest, TwoApplicationsWithoutKeysetsCauseNoSwitch) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kEditorPid);
  EXPECT_TRUE(finder.PollOnce().Changed);
  EXPECT_EQ(Recorded().ActiveKeyset, defaultKeyset_);
  const int writes = device_.Writes();
  const FocusSnapshot before = Recorded();

  foreground_.Focus(kShellPid);
  const FocusPollResult result = finder.PollOnce();
  EXPECT_FALSE(result.Changed);
  EXPECT_FALSE(result.ShowKeyset);
  EXPECT_EQ(device_.Writes(), writes);
  EXPECT_EQ(Recorded().ProcessId, before.ProcessId);  // the record is left alone
  EXPECT_EQ(Recorded().ActiveKeyset, before.ActiveKeyset);
}

TEST_F(FocusFinderTest, ADottedExecutableFindsTheKeysetOfItsFirstPart) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kToolPid);
  finder.PollOnce();
  EXPECT_EQ(Recorded().ActiveKeyset, my_);
  EXPECT_EQ(engine_.Protocol.CurrentDeviceMode, kModeHost);
}

// Where the windowing system names the application but not its process (a Wayland
// app_id), the name finds the Keyset as an executable's would.
TEST_F(FocusFinderTest, AWindowKnownOnlyByItsApplicationsNameFindsThatKeyset) {
  FocusFinder finder(Services(foreground_));
  foreground_.FocusNamed("sequencer");
  EXPECT_TRUE(finder.PollOnce().Changed);
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
  EXPECT_EQ(Recorded().ProcessId, 0u);
}

struct FallbackCase {
  const char* what;
  bool focused;
  uint32_t processId;
};

class FocusFinderFallback : public FocusFinderTest, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(FocusFinderFallback, UsesTheDefaultKeyset) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kSequencerPid);
  finder.PollOnce();
  if (GetParam().focused) foreground_.Focus(GetParam().processId);
  else foreground_.FocusNothing();
  EXPECT_TRUE(finder.PollOnce().Changed);
  EXPECT_EQ(Recorded().ActiveKeyset, defaultKeyset_);
  EXPECT_EQ(Recorded().ProcessId, GetParam().focused ? GetParam().processId : 0u);
}

INSTANTIATE_TEST_SUITE_P(FocusFinder, FocusFinderFallback,
                         ::testing::Values(FallbackCase{"no keyset of its own", true, kShellPid},
                                           FallbackCase{"process name unknown", true, 999},
                                           FallbackCase{"no focused window", false, 0}),
                         test::NameFromWhat{});

TEST_F(FocusFinderTest, AFailingModeSwitchKeepsThePreviousKeysetAndRepeatsItsMessage) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kSequencerPid);
  finder.PollOnce();
  foreground_.Focus(kBrokenPid);
  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(2, 2s));
  finder.Pause();

  const std::string text =
      "Could not set the mode to 4 for BROKEN.\nApp may not work as expected.\nPlease restart the app for better "
      "results.";
  const auto texts = messages_.Texts();
  ASSERT_GE(texts.size(), 3u);
  for (const auto& shown : texts) EXPECT_EQ(shown, text);
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
  EXPECT_EQ(Recorded().ProcessId, kSequencerPid);
  EXPECT_EQ(ShownKeysets(editor_), (std::vector<const Keyset*>{}));
}

TEST_F(FocusFinderTest, LeavingTheEditorForAnApplicationWithTheSameKeysetRecordsThatApplication) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kShellPid);
  finder.PollOnce();                        // DEFAULT for the shell
  foreground_.Focus(kOwnPid, kOwnerEditor);  // our own process has no Keyset: DEFAULT again
  EXPECT_TRUE(finder.PollOnce().Changed);
  EXPECT_EQ(Recorded().ProcessId, kOwnPid);
  EXPECT_EQ(Recorded().ThreadId, kOwnerEditor);

  foreground_.Focus(kShellPid);
  const FocusPollResult result = finder.PollOnce();
  EXPECT_TRUE(result.Changed);
  EXPECT_EQ(Recorded().ProcessId, kShellPid);  // the dispatch no longer feeds the editor
  EXPECT_EQ(Recorded().ActiveKeyset, defaultKeyset_);
  EXPECT_EQ(result.Shown, defaultKeyset_);
}

TEST_F(FocusFinderTest, MovingBetweenOwnWindowsRewritesTheRecordAndRefreshesTheEditor) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kOwnPid, kOwnerEditor);
  FocusPollResult result = finder.PollOnce();
  EXPECT_TRUE(result.Changed);
  EXPECT_TRUE(result.ShowKeyset);
  EXPECT_EQ(result.Shown, nullptr);  // the editor keeps the Keyset it shows

  EXPECT_FALSE(finder.PollOnce().Changed);  // still the editor
  foreground_.Focus(kOwnPid, kOwnerOther);  // the tray menu
  EXPECT_TRUE(finder.PollOnce().Changed);
  EXPECT_EQ(Recorded().ThreadId, kOwnerOther);
}

TEST_F(FocusFinderTest, WithoutARecordNothingIsLookedAt) {
  engine_.FocusState.DestroyFocusState();
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kSequencerPid);
  EXPECT_FALSE(finder.PollOnce().HadRecord);
  EXPECT_EQ(foreground_.Queries(), 0);
  EXPECT_EQ(device_.Writes(), 0);
}

TEST_F(FocusFinderTest, TheThreadStartsPausedPollsOnResumeAndTellsTheEditor) {
  FocusFinder finder(Services(foreground_));
  foreground_.Focus(kSequencerPid);
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(finder.PollCount(), 0u);

  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(0, 2s));
  finder.Pause();
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
  EXPECT_EQ(ShownKeysets(editor_), (std::vector<const Keyset*>{sequencer_}));

  const uint64_t polls = finder.PollCount();
  std::this_thread::sleep_for(80ms);
  EXPECT_EQ(finder.PollCount(), polls);  // paused means no polls
}

TEST_F(FocusFinderTest, TheEditorIsToldNothingWhenItIsNotRunning) {
  test::RecordingEditor stopped;
  stopped.running = false;
  FocusFinderServices services = Services(foreground_);
  FocusFinder finder(FocusFinderServices{services.Foreground, services.Engine, services.Device, services.Messages,
                                         stopped, services.Notice, services.Interval});
  foreground_.Focus(kSequencerPid);
  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(0, 2s));
  finder.Pause();
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
  EXPECT_TRUE(ShownKeysets(stopped).empty());
}

TEST_F(FocusFinderTest, StopIsPromptInTheMiddleOfTheInterval) {
  auto finder = std::make_unique<FocusFinder>(Services(foreground_, 10s));
  finder->Resume();
  ASSERT_TRUE(finder->WaitForPollsAfter(0, 2s));
  const auto before = std::chrono::steady_clock::now();
  finder.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
}

// Told of every change, the finder looks again at once and never polls in between.
TEST_F(FocusFinderTest, WhereEveryChangeIsToldTheFinderWaitsForItInsteadOfPolling) {
  ScriptedForeground told(true, {}, true);
  told.SetProcessName(kSequencerPid, "sequencer");
  FocusFinder finder(Services(told, 10ms));
  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(0, 2s));
  std::this_thread::sleep_for(100ms);
  const uint64_t polls = finder.PollCount();
  EXPECT_EQ(polls, 1u) << "polled while nothing changed";

  const auto before = std::chrono::steady_clock::now();
  told.Focus(kSequencerPid);
  ASSERT_TRUE(finder.WaitForPollsAfter(polls, 2s));
  EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
  finder.Pause();
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
}

// A foreground query that holds the poll until the test lets it go.
class GatedForeground : public ScriptedForeground {
 public:
  ForegroundWindow Foreground() override {
    std::unique_lock lock(gate_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
    return ScriptedForeground::Foreground();
  }
  void WaitEntered() {
    std::unique_lock lock(gate_);
    changed_.wait(lock, [&] { return entered_; });
  }
  void Open() {
    std::lock_guard lock(gate_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex gate_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool open_ = false;
};

TEST_F(FocusFinderTest, PauseWaitsForThePollInProgressAndDropsItsModeFailure) {
  GatedForeground gated;
  gated.SetProcessName(kBrokenPid, "broken");
  gated.Focus(kBrokenPid);
  FocusFinder finder(Services(gated));
  finder.Resume();
  gated.WaitEntered();

  std::atomic<bool> paused{false};
  std::thread pauser([&] {
    finder.Pause();
    paused = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(paused);  // the poll still uses the record
  gated.Open();
  pauser.join();
  EXPECT_TRUE(paused);
  ASSERT_TRUE(finder.WaitForPollsAfter(0, 2s));
  EXPECT_EQ(finder.PollCount(), 1u);
  EXPECT_TRUE(messages_.Texts().empty());  // the surface went away: no mode message
}

TEST_F(FocusFinderTest, WithoutADisplayDefaultStaysInForceAndOneLineSaysWhy) {
  ScriptedForeground none(false, "No X11 display (DISPLAY is not set): no focus to follow.");
  FocusFinder finder(Services(none));
  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(0, 2s));
  std::this_thread::sleep_for(150ms);  // several intervals
  EXPECT_EQ(finder.PollCount(), 1u);   // nothing repeats
  EXPECT_EQ(Notices(), (std::vector<std::string>{"No X11 display (DISPLAY is not set): no focus to follow."}));
  EXPECT_EQ(Recorded().ActiveKeyset, defaultKeyset_);
  EXPECT_EQ(Recorded().ProcessId, 0u);
  EXPECT_EQ(none.Queries(), 0);

  // The next connection records DEFAULT on its new record, still without repeating.
  finder.Pause();
  engine_.FocusState.DestroyFocusState();
  engine_.FocusState.CreateFocusState();
  finder.Resume();
  ASSERT_TRUE(finder.WaitForPollsAfter(1, 2s));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(finder.PollCount(), 2u);
  EXPECT_EQ(Recorded().ActiveKeyset, defaultKeyset_);
  EXPECT_EQ(Notices().size(), 1u);
}

TEST(FocusFinderText, ModeFailureTextIsExact) {
  EXPECT_EQ(ModeFailureText(2, "SEQUENCER"),
            "Could not set the mode to 2 for SEQUENCER.\nApp may not work as expected.\nPlease restart the app "
            "for better results.");
}

}  // namespace
}  // namespace orvo
