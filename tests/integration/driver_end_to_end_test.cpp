// The whole driver, as users start it: the orvo program runs headless against the
// simulated surface on a pty, with a JACK client playing the music application and X11
// clients taking the focus. What the surface, the application and the focused window get
// is checked from the outside.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "harness/driver_process.h"
#include "harness/focus_client_process.h"
#include "harness/jack_test_app.h"
#include "harness/temp_dir.h"
#include "protocol/device_modes.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;
using test::DriverProcess;
using test::FocusClientProcess;
using test::JackTestApp;

// Generous: the machine running the tests is slow and shared.
constexpr auto kPatience = 10s;
constexpr auto kConnectPatience = 15s;  // the link gives a fresh bridge a second to settle
constexpr auto kExitLimit = 1s;

const Bytes kHostModeMessage{0xF0, 0x15, 0x29, 0x01, 0xF7};
const Bytes kPlayDown{0xBE, 0x4C, 0x7F};
const Bytes kPlayUp{0xBE, 0x4C, 0x00};

// The Keyset of the application named "sequencer": PLAY types Space (virtual key 0x20,
// scan code 0x39, no modifiers), Fader 1 goes out with status B1, both ports on `app`.
std::string SequencerKeyset(const JackTestApp& app) {
  return "1204:32:3735552:0:0:0:Play\r\n"
         "1224:::4:B1:0:Volume 1\r\n"
         "MidiInPort:" + app.InPort() + "\r\n"
         "MidiOutPort:" + app.OutPort() + "\r\n"
         "DeviceMode:2\r\n";
}

Bytes HostModeAndDarkLamps() {
  Bytes expected = kHostModeMessage;
  const auto& lamps = DarkLampBuffer();
  expected.insert(expected.end(), lamps.begin(), lamps.end());
  return expected;
}

class DriverEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_SKIP_WITHOUT_DISPLAY();
    if (std::string why = JackTestApp::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    app = JackTestApp::Open("orvo-e2e-" + std::to_string(getpid()));
    ASSERT_TRUE(app) << "the JACK test client could not open";
    // The one-instance lock lives in the runtime directory: one of our own per test.
    chmod(runtimeDir.Path().c_str(), 0700);
    settingsDir.Write("SEQUENCER.orvo", SequencerKeyset(*app));
    surface = std::make_unique<sim::SimSurface>((runtimeDir.Path() / "surface").string());
    ASSERT_TRUE(surface->Plugged()) << surface->Error();
  }

  void StartDriver() {
    driver = std::make_unique<DriverProcess>(
        ORVO_BINARY,
        std::vector<std::string>{"--headless", "--device", surface->LinkPath(), "--settings-dir",
                                 settingsDir.Path().string(), "--midi-api", "jack"},
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeDir.Path().string()});
    ASSERT_GT(driver->Pid(), 0);
  }

  // The driver started with `sequencer` in front: connected, the sequencer's Keyset puts
  // the surface into Host mode with dark lamps.
  void StartWithInFront(FocusClientProcess& sequencer) {
    ASSERT_TRUE(sequencer.WaitReady(kPatience)) << "the sequencer client did not show up";
    StartDriver();
    ASSERT_TRUE(driver->WaitForText("Surface connected", kConnectPatience)) << driver->Transcript();
    ASSERT_TRUE(WaitForKeyset("SEQUENCER", 0)) << driver->Transcript();
    ASSERT_TRUE(surface->WaitForReceived(HostModeAndDarkLamps().size(), kPatience));
  }

  // The lines "Keyset NAME (...)" from `from` on.
  bool WaitForKeyset(const std::string& name, std::size_t from, std::chrono::seconds patience = kPatience) {
    return driver->WaitForText("Keyset " + name + " (", patience, from).has_value();
  }

  // Waits until the surface has received exactly `expected` (and nothing more follows).
  ::testing::AssertionResult SurfaceReceives(const Bytes& expected) {
    if (!surface->WaitForReceived(expected.size(), kPatience))
      return ::testing::AssertionFailure() << "the surface received only " << surface->Received().size()
                                           << " of " << expected.size() << " bytes";
    std::this_thread::sleep_for(100ms);  // anything more would show up here
    const Bytes got = surface->Received();
    if (got != expected) return ::testing::AssertionFailure() << "the surface received " << got.size() << " bytes";
    return ::testing::AssertionSuccess();
  }

  // A new JACK connection may miss its first cycles on a slow machine: probe both ways
  // (fader moves that type nothing, note-offs) until each arrives, then forget the probes.
  void AwaitMidiBothWays() {
    ASSERT_TRUE(app->AwaitLink([&] { surface->Send({0xBF, 0x00, 0x01}); }))
        << "surface MIDI never reached the application\n" << driver->Transcript();
    bool reached = false;
    for (int attempt = 0; attempt < 100 && !reached; ++attempt) {
      app->Send({0x80, 0x3C, 0x00});
      reached = surface->WaitForReceived(3, 100ms);
    }
    ASSERT_TRUE(reached) << "application MIDI never reached the surface\n" << driver->Transcript();
    std::this_thread::sleep_for(200ms);  // late probes
    surface->ClearReceived();
    app->Clear();
  }

  // PLAY pressed and released: Space typed once into `client`, both messages at the
  // application.
  void ExpectPlayWorks(FocusClientProcess& client) {
    app->Clear();
    surface->Send(kPlayDown);
    EXPECT_EQ(client.KeyLinesUntilQuiet(500ms), test::kSpaceTyped);
    surface->Send(kPlayUp);
    EXPECT_EQ(client.KeyLinesUntilQuiet(500ms), std::vector<std::string>{}) << "release types nothing";
    ASSERT_TRUE(app->WaitForArrivals(2, kPatience));
    EXPECT_EQ(app->Received(), (std::vector<Bytes>{kPlayDown, kPlayUp}));
  }

  test::TempDir settingsDir;
  test::TempDir runtimeDir;
  std::unique_ptr<JackTestApp> app;
  std::unique_ptr<sim::SimSurface> surface;
  std::unique_ptr<DriverProcess> driver;
};

TEST_F(DriverEndToEndTest, SurfaceDrivesTheFocusedApplicationAcrossReplugAndExitsCleanly) {
  FocusClientProcess sequencer("sequencer", "orvo e2e sequencer");
  ASSERT_NO_FATAL_FAILURE(StartWithInFront(sequencer));
  const Bytes first = surface->Received();
  const Bytes expected = HostModeAndDarkLamps();
  ASSERT_GE(first.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first.begin()))
      << "the Host mode message, then the 318 lamp bytes";
  AwaitMidiBothWays();

  // PLAY: Space into the focused window, the messages to the application.
  std::size_t mark = driver->Mark();
  ExpectPlayWorks(sequencer);
  EXPECT_TRUE(driver->WaitForText("BE4C7F: PLAY button", kPatience, mark)) << driver->Transcript();

  // Fader 1 rewritten to status B1.
  app->Clear();
  surface->Send({0xBF, 0x00, 0x40});
  ASSERT_TRUE(app->WaitForArrivals(1, kPatience));
  EXPECT_EQ(app->Received(), (std::vector<Bytes>{{0xB1, 0x00, 0x40}}));

  // The application's note reaches the surface as it was sent.
  surface->ClearReceived();
  app->Send({0x90, 0x3C, 0x7F});
  EXPECT_TRUE(SurfaceReceives({0x90, 0x3C, 0x7F}));

  // An application without a Keyset: DEFAULT.
  mark = driver->Mark();
  FocusClientProcess other("other", "orvo e2e other");
  ASSERT_TRUE(other.WaitReady(kPatience));
  EXPECT_TRUE(WaitForKeyset("DEFAULT", mark)) << driver->Transcript();

  // Unplugged and plugged back, with the sequencer focused again meanwhile.
  mark = driver->Mark();
  ASSERT_TRUE(surface->Unplug());
  ASSERT_TRUE(driver->WaitForText("Surface disconnected", kPatience, mark)) << driver->Transcript();
  sequencer.Send("focus");
  ASSERT_TRUE(sequencer.WaitForLine([](const std::string& l) { return l == "focus in"; }, kPatience));
  surface->ClearReceived();
  mark = driver->Mark();
  ASSERT_TRUE(surface->Replug());
  ASSERT_TRUE(driver->WaitForText("Surface connected", kConnectPatience, mark)) << driver->Transcript();
  ASSERT_TRUE(WaitForKeyset("SEQUENCER", mark)) << driver->Transcript();
  ASSERT_TRUE(surface->WaitForReceived(expected.size(), kPatience));
  const Bytes again = surface->Received();
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), again.begin())) << "Host mode and lamps again";
  ExpectPlayWorks(sequencer);

  // SIGTERM: the orderly exit, quickly, with nothing left over.
  const auto before = std::chrono::steady_clock::now();
  const std::optional<int> status = driver->SignalAndWait(SIGTERM, kPatience);
  const auto took = std::chrono::steady_clock::now() - before;
  ASSERT_TRUE(status.has_value()) << "the driver did not exit\n" << driver->Transcript();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
      << "wait status " << *status << "\n" << driver->Transcript();
  EXPECT_LE(took, kExitLimit) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  RecordProperty("exit_ms", static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  for (const auto& line : driver->Lines()) {
    EXPECT_EQ(line.text.find("Sanitizer"), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find("still in use at exit"), std::string::npos) << line.text;
  }
}

// The lamps an application lit come back when its window does, and a line added to its
// Keyset file by hand works within a second, without a restart.
TEST_F(DriverEndToEndTest, LampsReturnWithTheApplicationAndHandEditsTakeEffect) {
  FocusClientProcess sequencer("sequencer", "orvo e2e sequencer");
  ASSERT_NO_FATAL_FAILURE(StartWithInFront(sequencer));
  AwaitMidiBothWays();

  app->Send({0xBD, 0x00, 0x7F});  // Mute 1
  app->Send({0xBE, 0x4F, 0x7F});  // RECORD
  ASSERT_TRUE(SurfaceReceives({0xBD, 0x00, 0x7F, 0xBE, 0x4F, 0x7F}));

  // Another program in front: its Keyset (DEFAULT, Host mode) darkens every lamp.
  surface->ClearReceived();
  std::size_t mark = driver->Mark();
  FocusClientProcess other("other", "orvo e2e other");
  ASSERT_TRUE(other.WaitReady(kPatience));
  ASSERT_TRUE(WaitForKeyset("DEFAULT", mark)) << driver->Transcript();
  const auto& dark = DarkLampBuffer();
  EXPECT_TRUE(SurfaceReceives(Bytes(dark.begin(), dark.end())));

  // Back to the sequencer: one burst of the same shape, its two lamps lit.
  surface->ClearReceived();
  mark = driver->Mark();
  sequencer.Send("focus");
  ASSERT_TRUE(WaitForKeyset("SEQUENCER", mark)) << driver->Transcript();
  Bytes lit(dark.begin(), dark.end());
  lit[static_cast<std::size_t>(LampSlot(0xBD, 0x00)) * 3 + 2] = 0x7F;
  lit[static_cast<std::size_t>(LampSlot(0xBE, 0x4F)) * 3 + 2] = 0x7F;
  EXPECT_TRUE(SurfaceReceives(lit));

  // Fader 2 goes out as it is, until a line for it is added to the file.
  app->Clear();
  surface->Send({0xBF, 0x01, 0x40});
  ASSERT_TRUE(app->WaitForArrivals(1, kPatience));
  EXPECT_EQ(app->Received(), (std::vector<Bytes>{{0xBF, 0x01, 0x40}}));
  mark = driver->Mark();
  std::ofstream(settingsDir.Path() / "SEQUENCER.orvo", std::ios::app) << "1225:::4:B2:1:Volume 2\r\n";
  ASSERT_TRUE(driver->WaitForText("Keyset SEQUENCER read again", 1s, mark)) << driver->Transcript();
  app->Clear();
  surface->Send({0xBF, 0x01, 0x41});
  ASSERT_TRUE(app->WaitForArrivals(1, kPatience));
  EXPECT_EQ(app->Received(), (std::vector<Bytes>{{0xB2, 0x01, 0x41}}));
}

}  // namespace
}  // namespace orvo
