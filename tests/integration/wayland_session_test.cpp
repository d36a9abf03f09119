// The driver in a Wayland session: a headless sway (started by the test services), two
// Wayland test clients playing the applications, the driver headless on a pty surface.
// The focus moves through sway's IPC; what the surface and each client get is checked
// from the outside.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "harness/driver_process.h"
#include "harness/focus_client_process.h"
#include "harness/temp_dir.h"
#include "protocol/device_modes.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;
using test::DriverProcess;
using test::FocusClientProcess;

constexpr auto kPatience = 10s;
constexpr auto kConnectPatience = 15s;
const Bytes kPlayDown{0xBE, 0x4C, 0x7F};
const Bytes kPlayUp{0xBE, 0x4C, 0x00};
const std::vector<std::string> kNothing;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// PLAY types Space for the sequencer; DEFAULT types Ctrl+Shift+A: virtual key 0x41,
// Ctrl (1) + Shift (4) and scan code 0x1E. Both in Host mode, where the surface reports
// its buttons; each switch sends the lamp burst of the Keyset's application.
constexpr const char* kSequencerKeyset = "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n";
constexpr const char* kDefaultKeyset = "1204:65:1966085:0:0:0:Play\r\nDeviceMode:2\r\n";

class WaylandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = Env("ORVO_TEST_WAYLAND_DISPLAY");
    runtime_ = Env("ORVO_TEST_WAYLAND_RUNTIME_DIR");
    sway_ = Env("ORVO_TEST_SWAYSOCK");
    if (display_.empty() || runtime_.empty() || sway_.empty())
      GTEST_SKIP() << "no headless sway session (scripts/services.sh starts one where sway is installed)";
    Sway("workspace 1");
    chmod(runtimeDir.Path().c_str(), 0700);
    settingsDir.Write("SEQUENCER.orvo", kSequencerKeyset);
    settingsDir.Write("DEFAULT.orvo", kDefaultKeyset);
    surface = std::make_unique<sim::SimSurface>((runtimeDir.Path() / "surface").string());
    ASSERT_TRUE(surface->Plugged()) << surface->Error();
    // Clients first, the sequencer last: it has the focus when the driver starts.
    other = StartClient("othertool");
    sequencer = StartClient("SEQUENCER");
    driver = std::make_unique<DriverProcess>(
        ORVO_BINARY,
        std::vector<std::string>{"--headless", "--device", surface->LinkPath(), "--settings-dir",
                                 settingsDir.Path().string()},
        // The one-instance lock in a runtime directory of the test's own; the compositor
        // by its socket's path; no X11 display.
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeDir.Path().string(),
                                 "WAYLAND_DISPLAY=" + runtime_ + "/" + display_, "SWAYSOCK=" + sway_, "DISPLAY="});
    ASSERT_TRUE(driver->WaitForText("Surface connected", kConnectPatience)) << driver->Transcript();
    ASSERT_TRUE(driver->WaitForText("Keyset SEQUENCER (", kPatience)) << driver->Transcript();
  }

  std::unique_ptr<FocusClientProcess> StartClient(const std::string& name) {
    auto client = std::make_unique<FocusClientProcess>(
        name, FocusClientProcess::Program{ORVO_WAYLAND_FOCUS_CLIENT,
                                          {"--app-id", name, "--title", "orvo wayland " + name},
                                          {"WAYLAND_DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + runtime_}});
    EXPECT_TRUE(client->WaitReady(kPatience)) << name << " did not show up";
    return client;
  }

  // Runs one sway command through its IPC.
  void Sway(const std::string& command) {
    const std::string line = "swaymsg -s '" + sway_ + "' '" + command + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
  }
  void Focus(FocusClientProcess* client) {
    if (client)
      Sway("[pid=" + std::to_string(client->Pid()) + "] focus");
    else
      Sway("workspace 2");  // empty: no window has the focus
  }

  // PLAY pressed and released; the key lines each client got.
  std::pair<std::vector<std::string>, std::vector<std::string>> Play() {
    sequencer->KeyLinesUntilQuiet(100ms);
    other->KeyLinesUntilQuiet(100ms);
    surface->Send(kPlayDown);
    surface->Send(kPlayUp);
    return {sequencer->KeyLinesUntilQuiet(500ms), other->KeyLinesUntilQuiet(300ms)};
  }

  std::string display_, runtime_, sway_;
  test::TempDir settingsDir;
  test::TempDir runtimeDir;
  std::unique_ptr<sim::SimSurface> surface;
  std::unique_ptr<FocusClientProcess> other, sequencer;
  std::unique_ptr<DriverProcess> driver;
};

// Each step moves the focus, then presses PLAY: the Keyset put in force (none: unchanged)
// with the surface switched to it, and the keys each client got.
TEST_F(WaylandSessionTest, TheFocusedWindowChoosesTheKeysetAndAloneGetsItsKeys) {
  enum Target { kSequencer, kOther, kNobody };
  struct Step {
    const char* name;
    Target focus;
    const char* keyset;  // the line "Keyset NAME (Host mode)" that follows; null: no switch
    std::vector<std::string> sequencerKeys, otherKeys;
  };
  const Step steps[] = {
      {"the sequencer in front: Space into it alone", kSequencer, nullptr, test::kSpaceTyped, kNothing},
      {"another application: DEFAULT, Ctrl+Shift+A with its modifiers, all released", kOther, "DEFAULT", kNothing,
       test::kCtrlShiftATyped},
      {"no window focused: nothing typed anywhere", kNobody, nullptr, kNothing, kNothing},
      {"the sequencer again", kSequencer, "SEQUENCER", test::kSpaceTyped, kNothing},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    const std::size_t mark = driver->Mark();
    surface->ClearReceived();
    Focus(step.focus == kSequencer ? sequencer.get() : step.focus == kOther ? other.get() : nullptr);
    if (step.keyset) {
      ASSERT_TRUE(driver->WaitForText(std::string("Keyset ") + step.keyset + " (Host mode)", kPatience, mark))
          << driver->Transcript();
      const auto& dark = DarkLampBuffer();
      ASSERT_TRUE(surface->WaitForReceived(dark.size(), kPatience));
      EXPECT_EQ(surface->Received(), Bytes(dark.begin(), dark.end())) << "the lamps of the Keyset's application";
    } else {
      std::this_thread::sleep_for(300ms);  // the focus has settled
    }
    const auto [sequencerKeys, otherKeys] = Play();
    EXPECT_EQ(sequencerKeys, step.sequencerKeys);
    EXPECT_EQ(otherKeys, step.otherKeys);
  }
}

// The driver learns of each focus change from the compositor at once, instead of finding
// it at its next look every 500 ms as on X11.
TEST_F(WaylandSessionTest, AFocusChangeSwitchesTheKeysetWithoutWaitingForAPoll) {
  std::vector<double> delays;
  for (int i = 0; i < 30; ++i) {
    const bool toSequencer = i % 2 == 1;
    const std::size_t mark = driver->Mark();
    const auto before = DriverProcess::Clock::now();
    Focus(toSequencer ? sequencer.get() : other.get());
    const auto line = driver->WaitForText(toSequencer ? "Keyset SEQUENCER (" : "Keyset DEFAULT (", kPatience, mark);
    ASSERT_TRUE(line) << driver->Transcript();
    delays.push_back(std::chrono::duration<double, std::milli>(driver->Lines()[*line].at - before).count());
  }
  std::sort(delays.begin(), delays.end());
  const double median = delays[delays.size() / 2], p90 = delays[delays.size() * 9 / 10];
  RecordProperty("switch_median_ms", static_cast<int>(median));
  RecordProperty("switch_p90_ms", static_cast<int>(p90));
  std::printf("focus change to Keyset switch: median %.1f ms, p90 %.1f ms over %zu changes\n", median, p90,
              delays.size());
  EXPECT_LT(p90, 250.0) << "as slow as the 500 ms poll";
}

}  // namespace
}  // namespace orvo
