#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "harness/focus_client_process.h"
#include "mapping/focus_finder.h"
#include "mapping/keyset.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_messages.h"
#include "os/x11/focus.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using test::FocusClientProcess;
using Bytes = std::vector<uint8_t>;

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

Keyset* AddKeyset(EngineContext& engine, const char* name, int32_t mode) {
  Keyset* keyset = engine.Mapper.FindOrCreate(name, true);
  keyset->DeviceMode = mode;
  return keyset;
}

size_t ShownCount(const test::RecordingEditor& editor) {
  size_t count = 0;
  for (const auto& note : editor.Notes()) count += note.kind == test::RecordingEditor::Kind::kShow;
  return count;
}

// The focus finder on the real display, with the engine's Keysets and focus record.
class FocusFinderOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_SKIP_WITHOUT_DISPLAY();
    ASSERT_TRUE(foreground_.Available()) << foreground_.Why();
    defaultKeyset_ = AddKeyset(engine_, "DEFAULT", kModeStandard);
    engine_.Mapper.SetDefaultKeyset(defaultKeyset_);
    sequencer_ = AddKeyset(engine_, "SEQUENCER", kModeKelo);
    my_ = AddKeyset(engine_, "MY", kModeHost);
    broken_ = AddKeyset(engine_, "BROKEN", kModeEnhanced);
    engine_.Protocol.CurrentDeviceMode = kModeStandard;
    engine_.FocusState.CreateFocusState();
    finder_ = std::make_unique<FocusFinder>(
        FocusFinderServices{foreground_, engine_, device_, messages_, editor_, [](const std::string&) {}, 100ms});
  }
  void TearDown() override {
    if (finder_) finder_->Stop();
  }
  FocusSnapshot Recorded() const { return engine_.FocusState.Current()->Peek(); }
  bool Active(Keyset* keyset, pid_t pid) {
    return Eventually([&] {
      const FocusSnapshot fields = Recorded();
      return fields.ActiveKeyset == keyset && fields.ProcessId == static_cast<uint32_t>(pid);
    });
  }

  X11Foreground foreground_;
  EngineContext engine_{static_cast<uint32_t>(getpid())};
  test::RecordingDevice device_;
  RecordingMessages messages_;
  test::RecordingEditor editor_;
  std::unique_ptr<FocusFinder> finder_;
  Keyset* defaultKeyset_ = nullptr;
  Keyset* sequencer_ = nullptr;
  Keyset* my_ = nullptr;
  Keyset* broken_ = nullptr;
};

TEST_F(FocusFinderOnX11, TheSequencerGetsItsKeysetAndMode) {
  FocusClientProcess client("sequencer", "sequencer");
  ASSERT_TRUE(client.WaitReady());
  finder_->Resume();
  ASSERT_TRUE(Active(sequencer_, client.Pid()));
  EXPECT_EQ(engine_.Protocol.CurrentDeviceMode, kModeKelo);
  ASSERT_FALSE(device_.Events().empty());
  EXPECT_EQ(device_.Events().front().bytes, (Bytes{0xF0, 0x15, 0x15, 0x01, 0xF7}));
  EXPECT_TRUE(Eventually([&] { return ShownCount(editor_) == 1; }));
  EXPECT_EQ(editor_.Notes().back().keyset, sequencer_);
}

TEST_F(FocusFinderOnX11, ADottedExecutableIsLookedUpByItsFirstPart) {
  FocusClientProcess client("my.tool", "my tool");
  ASSERT_TRUE(client.WaitReady());
  finder_->Resume();
  ASSERT_TRUE(Active(my_, client.Pid()));
  EXPECT_EQ(engine_.Protocol.CurrentDeviceMode, kModeHost);
}

TEST_F(FocusFinderOnX11, TwoClientsWithoutKeysetsCauseNoSwitch) {
  FocusClientProcess first("alpha", "alpha");
  ASSERT_TRUE(first.WaitReady());
  FocusClientProcess second("beta", "beta");
  ASSERT_TRUE(second.WaitReady());
  finder_->Resume();
  ASSERT_TRUE(Eventually([&] { return foreground_.LastWindow() == second.Window(); }));
  ASSERT_TRUE(Eventually([&] { return Recorded().ActiveKeyset == defaultKeyset_; }));
  const uint64_t polls = finder_->PollCount();
  const FocusSnapshot before = Recorded();
  const int writes = device_.Writes();

  first.Send("focus");
  ASSERT_TRUE(Eventually([&] { return foreground_.LastWindow() == first.Window(); }));
  ASSERT_TRUE(finder_->WaitForPollsAfter(polls + 2, 2s));
  EXPECT_EQ(Recorded().ProcessId, before.ProcessId);
  EXPECT_EQ(device_.Writes(), writes);
  EXPECT_EQ(ShownCount(editor_), 1u);
}

TEST_F(FocusFinderOnX11, ARefusedModeKeepsThePreviousKeysetAndRepeatsItsMessageEachPoll) {
  FocusClientProcess sequencer("sequencer", "sequencer");
  ASSERT_TRUE(sequencer.WaitReady());
  finder_->Resume();
  ASSERT_TRUE(Active(sequencer_, sequencer.Pid()));

  FocusClientProcess broken("broken", "broken");
  ASSERT_TRUE(broken.WaitReady());
  ASSERT_TRUE(Eventually([&] { return messages_.Texts().size() >= 3; }));
  finder_->Pause();
  for (const auto& text : messages_.Texts())
    EXPECT_EQ(text, "Could not set the mode to 4 for BROKEN.\nApp may not work as expected.\n"
                    "Please restart the app for better results.");
  EXPECT_EQ(Recorded().ActiveKeyset, sequencer_);
  EXPECT_EQ(Recorded().ProcessId, static_cast<uint32_t>(sequencer.Pid()));
}

}  // namespace
}  // namespace orvo
