// The driver in a Wayland session: a headless sway, KWin or GNOME Shell (started by the
// test services), two Wayland test clients playing the applications (and an X11 one under
// XWayland, where sway runs it), the driver headless on a pty surface.
// The focus moves through sway's IPC, a KWin script, or the tests' GNOME Shell extension;
// what the surface and each client get is checked from the outside.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
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

enum class Desktop { kSway, kKwin, kGnome };

std::string DesktopName(const ::testing::TestParamInfo<Desktop>& info) {
  return info.param == Desktop::kSway ? "Sway" : info.param == Desktop::kKwin ? "KWin" : "GnomeShell";
}
void PrintTo(Desktop desktop, std::ostream* out) { *out << DesktopName({desktop, 0}); }

class WaylandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (desktop_ == Desktop::kKwin || desktop_ == Desktop::kGnome) {
      const std::string prefix = desktop_ == Desktop::kKwin ? "ORVO_TEST_KWIN_" : "ORVO_TEST_GNOME_";
      display_ = Env((prefix + "DISPLAY").c_str());
      runtime_ = Env((prefix + "RUNTIME_DIR").c_str());
      bus_ = Env((prefix + "BUS").c_str());
      if (display_.empty() || runtime_.empty() || bus_.empty())
        GTEST_SKIP() << "no headless " << (desktop_ == Desktop::kKwin ? "KWin" : "GNOME Shell")
                     << " session: scripts/test.sh starts one for the plain build's run only (ORVO_TEST_DESKTOPS=1)";
      if (desktop_ == Desktop::kGnome)  // out of the overview, where no window has the focus
        Gdbus("-d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set org.gnome.Shell "
              "OverviewActive '<false>'");
    } else {
      if (display_.empty()) {  // the session's sway, unless the test started its own
        display_ = Env("ORVO_TEST_WAYLAND_DISPLAY");
        runtime_ = Env("ORVO_TEST_WAYLAND_RUNTIME_DIR");
        sway_ = Env("ORVO_TEST_SWAYSOCK");
      }
      if (display_.empty() || runtime_.empty() || sway_.empty())
        GTEST_SKIP() << "no headless sway session (scripts/services.sh starts one where sway is installed)";
      Sway("workspace 1");
    }
    chmod(runtimeDir.Path().c_str(), 0700);
    settingsDir.Write("SEQUENCER.orvo", kSequencerKeyset);
    settingsDir.Write("DEFAULT.orvo", kDefaultKeyset);
    surface = std::make_unique<sim::SimSurface>((runtimeDir.Path() / "surface").string());
    ASSERT_TRUE(surface->Plugged()) << surface->Error();
    // Clients first, the sequencer last: it has the focus when the driver starts.
    other = StartClient("othertool");
    sequencer = StartClient("SEQUENCER");
    driver = std::make_unique<DriverProcess>(
        binary_,
        std::vector<std::string>{"--headless", "--device", surface->LinkPath(), "--settings-dir",
                                 settingsDir.Path().string()},
        // The one-instance lock in a runtime directory of the test's own; the compositor
        // by its socket's path; no X11 display but XWayland's, where there is one.
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeDir.Path().string(),
                                 "WAYLAND_DISPLAY=" + runtime_ + "/" + display_, "SWAYSOCK=" + sway_,
                                 "DISPLAY=" + x11Display_, "DBUS_SESSION_BUS_ADDRESS=" + bus_});
    ASSERT_TRUE(driver->WaitForText("Surface connected", kConnectPatience)) << driver->Transcript();
    ASSERT_TRUE(driver->WaitForText("Keyset " + firstKeyset_ + " (", kPatience)) << driver->Transcript();
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
    const int pid = client ? client->Pid() : 0;
    switch (desktop_) {
      case Desktop::kSway:
        if (client)
          Sway("[pid=" + std::to_string(pid) + "] focus");
        else
          Sway("workspace 2");  // empty: no window has the focus
        break;
      case Desktop::kKwin:
        // A script of the test's own: the window of the process activated, or every
        // window minimised, which leaves none active.
        KwinScript(client ? "workspace.clientList().forEach(function (c) { if (c.pid == " + std::to_string(pid) +
                                ") { c.minimized = false; workspace.activeClient = c; } });"
                          : "workspace.clientList().forEach(function (c) { if (c.normalWindow) c.minimized = true; });");
        break;
      case Desktop::kGnome:
        Gdbus("-d org.orvo.test.FocusControl -o /org/orvo/test/FocusControl -m org.orvo.test.FocusControl.Activate " +
              std::to_string(pid));
        break;
    }
  }
  void Gdbus(const std::string& arguments) {
    const std::string line = "DBUS_SESSION_BUS_ADDRESS='" + bus_ + "' gdbus call --session " + arguments + " >/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
  }
  // Loads, runs and unloads a KWin script (from a file KWin's user can read).
  void KwinScript(const std::string& text) {
    const std::string path = "/tmp/orvo-test-focus-" + std::to_string(getpid()) + ".js";
    test::TempDir::WriteFile(path, text);
    chmod(path.c_str(), 0644);
    Gdbus("-d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript " + path + " orvo-test-focus");
    Gdbus("-d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start");
    Gdbus("-d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.unloadScript orvo-test-focus");
    std::filesystem::remove(path);
  }

  // Each step moves the focus (null: to no window), then presses PLAY: the Keyset put in
  // force (null: unchanged) with the surface switched to it, and the keys each client got.
  struct Step {
    const char* name;
    FocusClientProcess* focus;
    const char* keyset;  // the line "Keyset NAME (Host mode)" that follows
    std::vector<std::vector<std::string>> keys;  // in the order of the clients
  };
  void RunSteps(const std::vector<FocusClientProcess*>& clients, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.name);
      const std::size_t mark = driver->Mark();
      surface->ClearReceived();
      Focus(step.focus);
      if (step.keyset) {
        ASSERT_TRUE(driver->WaitForText(std::string("Keyset ") + step.keyset + " (Host mode)", kPatience, mark))
            << driver->Transcript();
        const auto& dark = DarkLampBuffer();
        ASSERT_TRUE(surface->WaitForReceived(dark.size(), kPatience));
        EXPECT_EQ(surface->Received(), Bytes(dark.begin(), dark.end())) << "the lamps of the Keyset's application";
      } else {
        std::this_thread::sleep_for(300ms);  // the focus has settled
      }
      for (auto* client : clients) client->KeyLinesUntilQuiet(100ms);
      surface->Send(kPlayDown);
      surface->Send(kPlayUp);
      for (std::size_t i = 0; i < clients.size(); ++i)
        EXPECT_EQ(clients[i]->KeyLinesUntilQuiet(i ? 300ms : 500ms), step.keys[i]) << "client " << i;
    }
  }

  Desktop desktop_ = Desktop::kSway;
  std::string firstKeyset_ = "SEQUENCER";  // in force once the driver has started
  std::string binary_ = ORVO_BINARY;
  std::string display_, runtime_, sway_, x11Display_, bus_;
  test::TempDir settingsDir;
  test::TempDir runtimeDir;
  std::unique_ptr<sim::SimSurface> surface;
  std::unique_ptr<FocusClientProcess> other, sequencer;
  std::unique_ptr<DriverProcess> driver;
};

// The same cases on each desktop: sway (the wlroots route), KWin, GNOME Shell.
class DesktopSessionTest : public WaylandSessionTest, public ::testing::WithParamInterface<Desktop> {
 protected:
  DesktopSessionTest() { desktop_ = GetParam(); }
};

TEST_P(DesktopSessionTest, TheFocusedWindowChoosesTheKeysetAndAloneGetsItsKeys) {
  const std::vector<Step> steps = {
      {"the sequencer in front: Space into it alone", sequencer.get(), nullptr, {test::kSpaceTyped, kNothing}},
      {"another application: DEFAULT, Ctrl+Shift+A with its modifiers, all released", other.get(), "DEFAULT",
       {kNothing, test::kCtrlShiftATyped}},
      {"no window focused: nothing typed anywhere", nullptr, nullptr, {kNothing, kNothing}},
      {"the sequencer again", sequencer.get(), "SEQUENCER", {test::kSpaceTyped, kNothing}},
  };
  RunSteps({sequencer.get(), other.get()}, steps);
}

// The same with an X11 sequencer under XWayland beside the Wayland clients: the driver
// hands over between its X11 and Wayland sides as the focus crosses.
class XWaylandSessionTest : public WaylandSessionTest {
 protected:
  void SetUp() override {
    x11Display_ = Env("ORVO_TEST_XWAYLAND_DISPLAY");
    if (x11Display_.empty()) GTEST_SKIP() << "sway runs without XWayland (Xwayland not installed?)";
    // XWayland admits the compositor's user alone (the owner of its runtime directory): as
    // that user, let this one in too.
    struct stat compositor {};
    if (stat(Env("ORVO_TEST_WAYLAND_RUNTIME_DIR").c_str(), &compositor) != 0)
      GTEST_SKIP() << "no headless sway session";
    const std::string admit = "timeout 10 setpriv --reuid=" + std::to_string(compositor.st_uid) + " --regid=" +
                              std::to_string(compositor.st_gid) + " --clear-groups env DISPLAY=" + x11Display_ +
                              " '" ORVO_FOCUS_CLIENT "' --admit-local-user \"$(id -un)\" >/dev/null 2>&1";
    if (std::system(admit.c_str()) != 0) GTEST_SKIP() << "XWayland on " << x11Display_ << " does not admit this user";
    WaylandSessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    x11 = std::make_unique<FocusClientProcess>(
        "SEQUENCER", FocusClientProcess::Program{ORVO_FOCUS_CLIENT, {"--title", "orvo xwayland SEQUENCER"},
                                                 {"DISPLAY=" + x11Display_}});
    ASSERT_TRUE(x11->WaitReady(kPatience)) << "the X11 client did not show up";
  }
  std::unique_ptr<FocusClientProcess> x11;
};

TEST_F(XWaylandSessionTest, TheKeysetAndTheKeysFollowTheFocusBetweenX11AndWayland) {
  const std::vector<Step> steps = {
      {"a Wayland window: DEFAULT, its keys into it alone", other.get(), "DEFAULT",
       {kNothing, test::kCtrlShiftATyped, kNothing}},
      {"the X11 window: Space into it alone", x11.get(), "SEQUENCER", {test::kSpaceTyped, kNothing, kNothing}},
      {"back to the Wayland window", other.get(), "DEFAULT", {kNothing, test::kCtrlShiftATyped, kNothing}},
  };
  RunSteps({x11.get(), other.get(), sequencer.get()}, steps);
}

// A compositor of the test's own, stopped and started again on the same display name
// under the running driver: it says once that the compositor went, types nothing (and
// says why) while it is away, then follows the focus and types into the new windows.
class CompositorReturnTest : public WaylandSessionTest {
 protected:
  void SetUp() override {
    if (Env("ORVO_TEST_WAYLAND_RUNTIME_DIR").empty()) GTEST_SKIP() << "no headless sway session";
    struct stat compositor {};  // run as the session's sway runs: its user
    ASSERT_EQ(stat(Env("ORVO_TEST_WAYLAND_RUNTIME_DIR").c_str(), &compositor), 0);
    user_ = std::to_string(compositor.st_uid);
    ASSERT_EQ(chown(ownRuntime.Path().c_str(), compositor.st_uid, compositor.st_gid), 0);
    ownRuntime.Write("config", "output HEADLESS-1 resolution 1024x768\ndefault_border none\n");
    ASSERT_TRUE(StartSway());
    WaylandSessionTest::SetUp();
  }
  void TearDown() override { StopSway(); }

  bool StartSway() {
    const std::string dir = ownRuntime.Path().string();
    std::filesystem::remove(dir + "/sway.log");
    const std::string line = "env -i PATH=\"$PATH\" XDG_RUNTIME_DIR=" + dir +
                             " WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman setpriv --reuid=" +
                             user_ + " --regid=" + user_ + " --clear-groups sway -V -c " + dir + "/config >" + dir +
                             "/sway.log 2>&1 & echo $! >" + dir + "/sway.pid";
    if (std::system(line.c_str()) != 0) return false;
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(100ms)) {
      const std::string log = ownRuntime.Read("sway.log");
      const std::string mark = "Running compositor on wayland display '";
      const auto at = log.find(mark);
      std::string socket;
      for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) socket = entry.path().string();
      if (at == std::string::npos || socket.empty()) continue;
      display_ = log.substr(at + mark.size(), log.find('\'', at + mark.size()) - at - mark.size());
      runtime_ = dir;
      sway_ = socket;
      swayPid_ = std::stoi(ownRuntime.Read("sway.pid"));
      return true;
    }
    return false;
  }
  void StopSway() {
    if (swayPid_ <= 0) return;
    kill(swayPid_, SIGTERM);
    for (int i = 0; i < 100 && kill(swayPid_, 0) == 0; ++i) std::this_thread::sleep_for(50ms);
    swayPid_ = 0;
  }

  test::TempDir ownRuntime;
  std::string user_;
  int swayPid_ = 0;
};

TEST_F(CompositorReturnTest, TheDriverFollowsACompositorThatComesBackOnTheSameName) {
  const std::string name = display_;
  std::size_t mark = driver->Mark();
  StopSway();
  ASSERT_TRUE(driver->WaitForText("went away", kPatience, mark)) << driver->Transcript();
  other.reset();
  sequencer.reset();
  surface->Send(kPlayDown);
  surface->Send(kPlayUp);
  ASSERT_TRUE(driver->WaitForText("not typed (the Wayland compositor on ", kPatience, mark)) << driver->Transcript();

  mark = driver->Mark();
  ASSERT_TRUE(StartSway());
  ASSERT_EQ(display_, name) << "the new compositor took another name";
  ASSERT_TRUE(driver->WaitForText("is back", kPatience, mark)) << driver->Transcript();
  other = StartClient("othertool");
  sequencer = StartClient("SEQUENCER");
  // The new windows took the focus in turn: the sequencer's Keyset, its lamps sent.
  ASSERT_TRUE(driver->WaitForText("Keyset SEQUENCER (", kPatience, mark)) << driver->Transcript();
  std::this_thread::sleep_for(300ms);
  const std::vector<Step> steps = {
      {"after the return: another application, DEFAULT and its keys", other.get(), "DEFAULT",
       {kNothing, test::kCtrlShiftATyped}},
      {"the sequencer: Space into it alone", sequencer.get(), "SEQUENCER", {test::kSpaceTyped, kNothing}},
  };
  RunSteps({sequencer.get(), other.get()}, steps);
  std::size_t said = 0;
  for (const auto& line : driver->Lines()) said += line.text.find("went away: ") != std::string::npos;
  EXPECT_EQ(said, 1u) << "the going is said once\n" << driver->Transcript();
}

// GNOME without our extension: the focused window is not known, so the DEFAULT Keyset
// serves every window and its keys go into the focused one; the start line says how to
// enable the extension, and once it is enabled the focus is followed again.
class GnomeWithoutExtensionTest : public WaylandSessionTest {
 protected:
  static constexpr const char* kExtensionCall =
      "-d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Extensions.";
  void SetUp() override {
    desktop_ = Desktop::kGnome;
    firstKeyset_ = "DEFAULT";
    bus_ = Env("ORVO_TEST_GNOME_BUS");
    if (bus_.empty()) GTEST_SKIP() << "no headless GNOME Shell session (the plain build's run only)";
    Gdbus(std::string(kExtensionCall) + "DisableExtension focused-window@orvo.org");
    WaylandSessionTest::SetUp();
  }
  void TearDown() override {
    if (!bus_.empty()) Gdbus(std::string(kExtensionCall) + "EnableExtension focused-window@orvo.org");
  }
};

TEST_F(GnomeWithoutExtensionTest, DefaultServesTheFocusedWindowUntilTheExtensionIsEnabled) {
  EXPECT_TRUE(driver->WaitForText("gnome-extensions enable focused-window@orvo.org", kPatience)) << driver->Transcript();
  RunSteps({sequencer.get(), other.get()},
           {{"the sequencer in front: DEFAULT's keys into it", sequencer.get(), nullptr, {test::kCtrlShiftATyped, kNothing}},
            {"the other in front: into it", other.get(), nullptr, {kNothing, test::kCtrlShiftATyped}}});
  Gdbus(std::string(kExtensionCall) + "EnableExtension focused-window@orvo.org");
  RunSteps({sequencer.get(), other.get()},
           {{"the extension enabled: the sequencer's Keyset", sequencer.get(), "SEQUENCER", {test::kSpaceTyped, kNothing}}});
}

// KDE Plasma with the driver run from where no desktop file grants it fake input (a copy
// of the program elsewhere): the start line gives the command that grants it, the focus
// is followed, and nothing is typed, each press saying why.
class KdeWithoutGrantTest : public WaylandSessionTest {
 protected:
  void SetUp() override {
    desktop_ = Desktop::kKwin;
    const auto copy = binaryDir.Path() / "orvo";
    std::filesystem::copy_file(ORVO_BINARY, copy);
    binary_ = copy.string();
    WaylandSessionTest::SetUp();
  }
  test::TempDir binaryDir;
};

TEST_F(KdeWithoutGrantTest, TheStartLineSaysHowToGrantKeysAndTheFocusIsFollowed) {
  EXPECT_TRUE(driver->WaitForText("Exec=" + binary_ + "\\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,"
                                  "org_kde_plasma_window_management\\n' > ~/.local/share/applications/orvo-local.desktop",
                                  kPatience))
      << driver->Transcript();
  RunSteps({sequencer.get(), other.get()},
           {{"the sequencer in front: no keys", sequencer.get(), nullptr, {kNothing, kNothing}},
            {"another application: DEFAULT, no keys", other.get(), "DEFAULT", {kNothing, kNothing}},
            {"the sequencer again: its Keyset", sequencer.get(), "SEQUENCER", {kNothing, kNothing}}});
  EXPECT_TRUE(driver->WaitForText("not typed (keystrokes are off: KWin has not granted this program fake input)", kPatience))
      << driver->Transcript();
}

// The driver learns of each focus change from the compositor at once, instead of finding
// it at its next look every 500 ms as on X11.
TEST_P(DesktopSessionTest, AFocusChangeSwitchesTheKeysetWithoutWaitingForAPoll) {
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

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopSessionTest,
                         ::testing::Values(Desktop::kSway, Desktop::kKwin, Desktop::kGnome), DesktopName);

}  // namespace
}  // namespace orvo
