// The editor in the running driver: opened at start over a surface on a pty, it comes to
// the front; a control touched on the surface is selected there and its lamp lights; a
// keystroke pressed in the editor is saved with the control and typed by the driver into
// the focused application as the same combination. And in this process, on the display:
// the focus finder's switch of Keysets reaches the editor's status line and panels.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <QApplication>
#include <unistd.h>

#include "app/editor_session.h"
#include "app/gui_thread_calls.h"
#include "editor/key_map_panel.h"
#include "harness/driver_process.h"
#include "harness/focus_client_process.h"
#include "harness/temp_dir.h"
#include "mapping/engine_context.h"
#include "mapping/focus_finder.h"
#include "mapping/keyset_file.h"
#include "os/fake/plain_file_saver.h"
#include "os/fake/plain_small_file_reader.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_messages.h"
#include "os/x11/focus.h"
#include "os/x11/keys.h"
#include "protocol/device_modes.h"
#include "sim/sim_surface.h"
#include "support/case_names.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr auto kPatience = 15s;
// Channel 1's first button; Host mode starts in the layer where it is ARM 1.
const Bytes kArmOnePress{0xBD, 0x00, 0x7F};
const Bytes kArmOneRelease{0xBD, 0x00, 0x00};
const std::size_t kHostModeBytes = 5 + DarkLampBuffer().size();

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class EditorEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_SKIP_WITHOUT_DISPLAY();
    chmod(runtimeDir.Path().c_str(), 0700);
    surface = std::make_unique<sim::SimSurface>((runtimeDir.Path() / "surface").string());
    ASSERT_TRUE(surface->Plugged()) << surface->Error();
  }

  void StartDriver(std::vector<std::string> args) {
    args.insert(args.end(), {"--device", surface->LinkPath(), "--settings-dir", settingsDir.Path().string()});
    surface->ClearReceived();
    driver = std::make_unique<test::DriverProcess>(ORVO_BINARY, args,
                                                   std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeDir.Path().string()});
    ASSERT_GT(driver->Pid(), 0);
    ASSERT_TRUE(surface->WaitForReceived(kHostModeBytes, kPatience)) << driver->Transcript();
  }

  // The focus finder notices the editor in front within its poll; until then a touch
  // goes nowhere. Touches ARM 1 until the editor has lit its lamp.
  bool TouchUntilTheEditorLightsArmOne() {
    for (auto until = std::chrono::steady_clock::now() + kPatience; std::chrono::steady_clock::now() < until;) {
      surface->Send(kArmOnePress);
      surface->Send(kArmOneRelease);
      std::this_thread::sleep_for(300ms);
      const Bytes got = surface->Received();
      if (Contains(Bytes(got.begin() + static_cast<std::ptrdiff_t>(kHostModeBytes), got.end()), kArmOnePress))
        return true;
    }
    return false;
  }

  void StopDriver() {
    const std::optional<int> status = driver->SignalAndWait(SIGTERM, kPatience);
    ASSERT_TRUE(status.has_value()) << driver->Transcript();
    EXPECT_EQ(*status, 0) << driver->Transcript();
  }

  test::TempDir runtimeDir;
  test::TempDir settingsDir;
  std::unique_ptr<sim::SimSurface> surface;
  std::unique_ptr<test::DriverProcess> driver;
};

TEST_F(EditorEndToEnd, TouchingAControlSelectsItInTheEditorAndLightsItsLamp) {
  StartDriver({"--editor"});
  EXPECT_TRUE(TouchUntilTheEditorLightsArmOne()) << "the editor never lit the lamp of the control touched\n"
                                                 << driver->Transcript();
  StopDriver();
  // Closing the editor saved DEFAULT; the touch selected ARM 1 without mapping it.
  ASSERT_TRUE(settingsDir.Exists("DEFAULT.orvo"));
  EXPECT_EQ(settingsDir.Read("DEFAULT.orvo").find("1032:"), std::string::npos) << settingsDir.Read("DEFAULT.orvo");
}

// SIGTERM, SIGINT and SIGHUP end the program as Exit does at any moment, a box standing
// or not: exit status 0, the Keysets saved when the editor was open, a failing save told
// once on the terminal instead of in a box that would hold the exit.
enum class Moment { kStartUpBoxStands, kEditorOpen, kSaveFailsAtExit };

struct SignalCase {
  const char* what;
  int signal;
  Moment moment;
};

class SignalMoments : public EditorEndToEnd, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(SignalMoments, EndTheProgramAsExitDoes) {
  const SignalCase& c = GetParam();
  if (c.moment == Moment::kStartUpBoxStands) {
    // A Keyset file that cannot be read: its box stands before the surface is looked for.
    std::filesystem::create_directory(settingsDir.Path() / "BROKEN.orvo");
    driver = std::make_unique<test::DriverProcess>(
        ORVO_BINARY, std::vector<std::string>{"--device", surface->LinkPath(), "--settings-dir", settingsDir.Path().string()},
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeDir.Path().string()});
    std::this_thread::sleep_for(4s);
  } else {
    StartDriver({"--editor"});
    ASSERT_TRUE(TouchUntilTheEditorLightsArmOne()) << driver->Transcript();
    if (c.moment == Moment::kSaveFailsAtExit) std::filesystem::remove_all(settingsDir.Path());
  }
  const std::optional<int> status = driver->SignalAndWait(c.signal, kPatience);
  ASSERT_TRUE(status.has_value()) << "still running\n" << driver->Transcript();
  EXPECT_EQ(*status, 0) << driver->Transcript();
  if (c.moment == Moment::kEditorOpen) {
    EXPECT_TRUE(settingsDir.Exists("DEFAULT.orvo")) << "the editor saved every Keyset as it closed";
  }
  if (c.moment == Moment::kSaveFailsAtExit) {
    const auto told = std::count_if(driver->Lines().begin(), driver->Lines().end(), [](const auto& line) {
      return line.text.find("Could not open file to write.") != std::string::npos;
    });
    EXPECT_EQ(told, 1) << driver->Transcript();
  }
}

INSTANTIATE_TEST_SUITE_P(EditorEndToEnd, SignalMoments,
                         ::testing::Values(SignalCase{"term while the start-up box stands", SIGTERM,
                                                      Moment::kStartUpBoxStands},
                                           SignalCase{"hang-up with the editor open", SIGHUP, Moment::kEditorOpen},
                                           SignalCase{"interrupt with the editor open", SIGINT, Moment::kEditorOpen},
                                           SignalCase{"term when the save at exit fails", SIGTERM,
                                                      Moment::kSaveFailsAtExit}),
                         test::NameFromWhat{});

KeyboardInput Down(uint16_t virtualKey, uint16_t scanCode = 0) { return KeyboardInput{virtualKey, scanCode, 0}; }
KeyboardInput Up(uint16_t virtualKey, uint16_t scanCode = 0) {
  return KeyboardInput{virtualKey, scanCode, kKeyEventKeyUp};
}

TEST_F(EditorEndToEnd, AKeystrokeCapturedInTheEditorIsTypedIntoTheApplication) {
  StartDriver({"--editor"});
  ASSERT_TRUE(TouchUntilTheEditorLightsArmOne()) << driver->Transcript();
  // The selection gave the key box the focus: press Ctrl+Shift+A there, as a user would.
  XTestInjector keyboard;
  ASSERT_TRUE(keyboard.Available()) << keyboard.Why();
  const std::vector<KeyboardInput> ctrlShiftA{Down(0x11, 0x1D), Down(0x10, 0x2A), Down(0x41, 0x1E),
                                              Up(0x41, 0x1E),   Up(0x10, 0x2A),   Up(0x11, 0x1D)};
  keyboard.SendInput(ctrlShiftA.data(), static_cast<uint32_t>(ctrlShiftA.size()));
  std::this_thread::sleep_for(500ms);
  StopDriver();
  // Virtual key 0x41; Ctrl (1) + Shift (4) and the A key's scan code 0x1E above them.
  const std::string saved = settingsDir.Read("DEFAULT.orvo");
  ASSERT_NE(saved.find("1032:65:" + std::to_string(0x1E0005) + ":"), std::string::npos) << saved;

  // The driver again, with an application in front that has no Keyset of its own.
  test::FocusClientProcess application("notepad", "notepad");
  ASSERT_TRUE(application.WaitReady(kPatience));
  StartDriver({"--headless"});
  ASSERT_TRUE(driver->WaitForText("Keyset DEFAULT (", kPatience).has_value()) << driver->Transcript();
  surface->Send(kArmOnePress);
  surface->Send(kArmOneRelease);
  EXPECT_EQ(application.KeyLinesUntilQuiet(1s), test::kCtrlShiftATyped)
      << driver->Transcript();
  StopDriver();
}

bool ProcessEventsUntil(const std::function<bool()>& done) {
  for (auto until = std::chrono::steady_clock::now() + kPatience; std::chrono::steady_clock::now() < until;) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(EditorOnTheDisplay, AKeysetSwitchByTheFocusFinderUpdatesTheStatusLineAndThePanels) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  static int argc = 1;
  static char name[] = "editor_end_to_end_test";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  X11Foreground foreground;
  ASSERT_TRUE(foreground.Available()) << foreground.Why();

  test::TempDir settings;
  EngineContext engine{static_cast<uint32_t>(getpid())};
  test::RecordingDevice device;
  RecordingMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  KeysetFiles files{engine.Mapper, settings.Path(), messages, saver, reader};
  files.LoadAllKeysets();
  Keyset& notepad = *engine.Mapper.FindOrCreate("NOTEPAD", true);
  notepad.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(1204)))->Label.Set("Play here");
  engine.Protocol.CurrentDeviceMode.store(kModeHost);

  QObject context;
  GuiThreadCalls gui(&context);
  EditorServices services{engine, device, files, messages};
  services.programName = [&foreground](uint32_t processId) { return foreground.ProcessBaseName(processId); };
  EditorSession session(services, gui, [&foreground](unsigned long window, const std::string& title, bool shown) {
    shown ? foreground.EditorWindows().Add(window, title) : foreground.EditorWindows().Remove(window);
  });
  session.ShowConnection(true);
  session.Start();
  EditorDialog& dialog = *session.Dialog();
  // The editor takes the focus first, so that the application below takes it after.
  ASSERT_TRUE(ProcessEventsUntil([&] { return dialog.isActiveWindow(); }));
  dialog.SelectControl(1204, kNotifySelect);
  ASSERT_EQ(dialog.KeyMap()->Label(), "") << "DEFAULT does not map PLAY";

  engine.FocusState.CreateFocusState();
  FocusFinder finder(FocusFinderServices{foreground, engine, device, messages, session, [](const std::string&) {},
                                         100ms});
  finder.Resume();
  test::FocusClientProcess application("notepad", "notepad");
  ASSERT_TRUE(application.WaitReady(kPatience));
  EXPECT_TRUE(ProcessEventsUntil([&] { return dialog.StatusText().contains("Keyset in force: NOTEPAD (notepad)."); }))
      << dialog.StatusText().toStdString();
  EXPECT_TRUE(ProcessEventsUntil([&] { return dialog.ShownKeyset() == &notepad; }));
  EXPECT_EQ(dialog.KeyMap()->Label(), "Play here");
  EXPECT_TRUE(dialog.windowTitle().contains("NOTEPAD")) << dialog.windowTitle().toStdString();
  finder.Stop();
  session.End();
  gui.Close();
}

}  // namespace
}  // namespace orvo
