// The simulated surface's window under Qt's offscreen platform, played with synthesised
// mouse events; the test takes the driver's place on the pty's far end, reading what the
// surface sends and writing what the host would.
#include "app/simulated_surface_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <ostream>
#include <thread>
#include <vector>

#include "app/simulated_surface_picture.h"
#include "app/simulated_surface_session.h"
#include "protocol/device_modes.h"
#include "sim/sim_surface.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// The driver's end of the pty.
class HostEnd {
 public:
  explicit HostEnd(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~HostEnd() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open() const { return fd_ >= 0; }

  // What the surface sent: `count` bytes, or fewer when they do not come in time.
  Bytes Read(std::size_t count, std::chrono::milliseconds timeout = 2s) {
    Bytes bytes;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buffer[256];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
  }
  // Everything the surface sent until it has been quiet a moment.
  Bytes ReadAll() { return Read(4096, 150ms); }

  void Write(const Bytes& bytes) { ASSERT_EQ(TryWrite(bytes), ssize_t(bytes.size())); }
  ssize_t TryWrite(const Bytes& bytes) { return ::write(fd_, bytes.data(), bytes.size()); }

 private:
  int fd_;
};

// Runs the GUI thread's events until `done` or the timeout.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 2s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class SimulatedSurfaceWindowTest : public ::testing::Test {
 protected:
  SimulatedSurfaceWindowTest() : host(surface.DevicePath()) {
    window.show();
    QCoreApplication::processEvents();
  }

  SurfacePicture& Picture() { return window.Picture(); }
  QPointF WidgetPoint(QPointF canvas) { return Picture().CanvasToWidget().map(canvas); }
  QPointF Centre(ControlId id) { return LayoutOf(id)->rect.center(); }

  void Mouse(QEvent::Type type, QPointF canvas, Qt::MouseButton button) {
    const QPointF at = WidgetPoint(canvas);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, at, Picture().mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(&Picture(), &event);
  }
  void Press(QPointF canvas, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(QEvent::MouseButtonPress, canvas, button);
  }
  void Move(QPointF canvas) { Mouse(QEvent::MouseMove, canvas, Qt::LeftButton); }
  void Release(QPointF canvas, Qt::MouseButton button = Qt::LeftButton) {
    Mouse(QEvent::MouseButtonRelease, canvas, button);
  }
  void Click(QPointF canvas, Qt::MouseButton button = Qt::LeftButton) {
    Press(canvas, button);
    Release(canvas, button);
  }
  void Wheel(QPointF canvas, int angle) {
    const QPointF at = WidgetPoint(canvas);
    QWheelEvent event(at, Picture().mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Picture(), &event);
  }

  QApplication& app = test::OffscreenApp();  // before any widget
  sim::SimSurface surface;
  HostEnd host;
  SimulatedSurfaceWindow window{surface};
};

struct ButtonCase {
  const char* what;
  ControlId id;
  Bytes down, up;
};
void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.what; }

class SimulatedSurfaceButton : public SimulatedSurfaceWindowTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(SimulatedSurfaceButton, SendsItsPressOnMouseDownAndItsReleaseOnMouseUp) {
  ASSERT_TRUE(host.Open());
  const ButtonCase& button = GetParam();
  Press(Centre(button.id));
  EXPECT_EQ(host.Read(3), button.down);
  EXPECT_TRUE(Picture().IsPressed(button.id));
  Release(Centre(button.id));
  EXPECT_EQ(host.Read(3), button.up);
  EXPECT_FALSE(Picture().IsPressed(button.id));
  EXPECT_EQ(host.ReadAll(), Bytes{});
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, SimulatedSurfaceButton,
    ::testing::Values(ButtonCase{"PLAY", 1204, {0xBE, 0x4C, 0x7F}, {0xBE, 0x4C, 0x00}},
                      ButtonCase{"mute chan 1", 1000, {0xBD, 0x00, 0x7F}, {0xBD, 0x00, 0x00}},
                      ButtonCase{"locate chan 32", 1127, {0xBD, 0x5F, 0x7F}, {0xBD, 0x5F, 0x00}},
                      ButtonCase{"select chan 17", 1176, {0xBE, 0x10, 0x7F}, {0xBE, 0x10, 0x00}},
                      ButtonCase{"F1", 1194, {0xBE, 0x42, 0x7F}, {0xBE, 0x42, 0x00}},
                      ButtonCase{"F9 shifted", 1222, {0xBE, 0x4A, 0x7F}, {0xBE, 0x4A, 0x00}},
                      ButtonCase{"Bank", kBankButton, {0xBE, 0x40, 0x7F}, {0xBE, 0x40, 0x00}},
                      ButtonCase{"Shift", kShiftButton, {0xBE, 0x41, 0x7F}, {0xBE, 0x41, 0x00}},
                      ButtonCase{"shuttle", 1209, {0xBE, 0x51, 0x7F}, {0xBE, 0x51, 0x00}},
                      ButtonCase{"footswitch", kFootSwitch, {0xBF, 0x56, 0x7F}, {0xBF, 0x56, 0x00}}),
    test::NameFromWhat{});

// The button that went down comes up, wherever the mouse is let go; no other one moves.
TEST_F(SimulatedSurfaceWindowTest, ReleaseGoesToTheButtonPressedEvenOffIt) {
  Press(Centre(1204));
  Move(Centre(1206));
  Release(Centre(1206));
  EXPECT_EQ(host.ReadAll(), (Bytes{0xBE, 0x4C, 0x7F, 0xBE, 0x4C, 0x00}));
  EXPECT_FALSE(Picture().IsPressed(1204));
  EXPECT_FALSE(Picture().IsPressed(1206));
}

// One mouse cannot hold Shift and press F1: a right-click holds Shift down meanwhile.
TEST_F(SimulatedSurfaceWindowTest, RightClickHoldsAButtonUntilTheNextClick) {
  Click(Centre(kShiftButton), Qt::RightButton);
  EXPECT_EQ(host.ReadAll(), (Bytes{0xBE, 0x41, 0x7F}));
  EXPECT_TRUE(Picture().IsPressed(kShiftButton));
  Click(Centre(1194));
  EXPECT_EQ(host.ReadAll(), (Bytes{0xBE, 0x42, 0x7F, 0xBE, 0x42, 0x00}));
  Click(Centre(kShiftButton), Qt::RightButton);
  EXPECT_EQ(host.ReadAll(), (Bytes{0xBE, 0x41, 0x00}));
  EXPECT_FALSE(Picture().IsPressed(kShiftButton));

  Click(Centre(1204), Qt::RightButton);  // held, then let go by a left click
  Click(Centre(1204));
  EXPECT_EQ(host.ReadAll(), (Bytes{0xBE, 0x4C, 0x7F, 0xBE, 0x4C, 0x00}));
  Click(Centre(1226), Qt::RightButton);  // a fader is not held
  EXPECT_EQ(host.ReadAll(), Bytes{});
}

struct FaderCase {
  const char* what;
  double dropY;  // canvas
  int expected;  // the last value sent
};
void PrintTo(const FaderCase& c, std::ostream* os) { *os << c.what; }

class SimulatedSurfaceFader : public SimulatedSurfaceWindowTest, public ::testing::WithParamInterface<FaderCase> {};

// Fader 3 dragged from its bottom: values on the way, ending at the drop point.
TEST_P(SimulatedSurfaceFader, DragSendsValuesEndingAtTheDropPoint) {
  const ControlLayout& fader = *LayoutOf(1226);
  const double x = fader.rect.center().x();
  Press({x, fader.rect.bottom() - 1});
  for (double y = fader.rect.bottom() - 4; y > GetParam().dropY && y > fader.rect.top() - 20; y -= 3) Move({x, y});
  Release({x + 7, GetParam().dropY});  // sideways off the slot does not matter

  const Bytes sent = host.ReadAll();
  ASSERT_GE(sent.size(), 6u);
  ASSERT_EQ(sent.size() % 3, 0u);
  int previous = -1;
  for (std::size_t at = 0; at < sent.size(); at += 3) {
    EXPECT_EQ(sent[at], 0xBF);
    EXPECT_EQ(sent[at + 1], 0x02);
    EXPECT_GT(int(sent[at + 2]), previous) << "values rise as it is pushed up, without repeats";
    previous = sent[at + 2];
  }
  EXPECT_EQ(sent[0 + 2], 0x00);
  EXPECT_EQ(int(sent.back()), GetParam().expected);
  EXPECT_EQ(Picture().FaderLevel(1226), GetParam().expected);
  EXPECT_FALSE(Picture().IsPressed(1226));
}

INSTANTIATE_TEST_SUITE_P(Drops, SimulatedSurfaceFader,
                         ::testing::Values(FaderCase{"half way", 389 + 22, FaderValueAt(*LayoutOf(1226), 389 + 22)},
                                           FaderCase{"at the top of the travel", 389 + 5, 0x7F},
                                           FaderCase{"above the slot", 300, 0x7F}),
                         test::NameFromWhat{});

TEST_F(SimulatedSurfaceWindowTest, FaderPulledBelowItsSlotEndsAtZero) {
  const ControlLayout& fader = *LayoutOf(1224);
  Press(fader.rect.center());
  Move({fader.rect.center().x(), fader.rect.bottom() + 30});
  Release({fader.rect.center().x(), fader.rect.bottom() + 40});
  const Bytes sent = host.ReadAll();
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ((Bytes{sent.end() - 3, sent.end()}), (Bytes{0xBF, 0x00, 0x00}));
}

enum class Gesture { kWheelAway, kWheelToward, kHalfNotches, kClick, kDragUp, kDragDown };

struct TurnCase {
  const char* what;
  ControlId half;
  Gesture gesture;
  Bytes expected;
};
void PrintTo(const TurnCase& c, std::ostream* os) { *os << c.what; }

class SimulatedSurfaceTurn : public SimulatedSurfaceWindowTest, public ::testing::WithParamInterface<TurnCase> {};

// Pots read values below 0x40 as counter-clockwise, the wheel reads bit 6 set as
// counter-clockwise: each turned both ways by the mouse wheel, a click and a drag.
TEST_P(SimulatedSurfaceTurn, SendsTheStepsInTheControlsOwnSense) {
  const QPointF at = Centre(GetParam().half);
  const double step = SimulatedSurfacePicture::kTurnStep;
  switch (GetParam().gesture) {
    case Gesture::kWheelAway: Wheel(at, SimulatedSurfacePicture::kWheelNotch); break;
    case Gesture::kWheelToward: Wheel(at, -SimulatedSurfacePicture::kWheelNotch); break;
    case Gesture::kHalfNotches:
      for (int i = 0; i < 3; ++i) Wheel(at, SimulatedSurfacePicture::kWheelNotch / 2);  // one and a half notches
      break;
    case Gesture::kClick: Click(at); break;
    case Gesture::kDragUp:
      Press(at);
      Move(at - QPointF(0, step * 1.3));
      Release(at - QPointF(0, step * 2.5));  // two steps in all
      break;
    case Gesture::kDragDown:
      Press(at);
      Release(at + QPointF(0, step * 2.5));
      break;
  }
  EXPECT_EQ(host.ReadAll(), GetParam().expected);
  EXPECT_FALSE(Picture().IsPressed(GetParam().half));
}

INSTANTIATE_TEST_SUITE_P(
    PotsAndWheel, SimulatedSurfaceTurn,
    ::testing::Values(
        TurnCase{"pot P1 wheel away is clockwise", 1259, Gesture::kWheelAway, {0xBF, 0x43, 0x41}},
        TurnCase{"pot P1 wheel toward is counter clockwise", 1265, Gesture::kWheelToward, {0xBF, 0x43, 0x01}},
        TurnCase{"pot P6 notches add up", 1264, Gesture::kHalfNotches, {0xBF, 0x42, 0x41}},
        TurnCase{"pot P4 left half click", 1256, Gesture::kClick, {0xBF, 0x40, 0x01}},
        TurnCase{"pot P4 right half click", 1262, Gesture::kClick, {0xBF, 0x40, 0x41}},
        TurnCase{"pot P2 drag up", 1260, Gesture::kDragUp, {0xBF, 0x44, 0x41, 0xBF, 0x44, 0x41}},
        TurnCase{"pot P3 drag down", 1267, Gesture::kDragDown, {0xBF, 0x45, 0x01, 0xBF, 0x45, 0x01}},
        TurnCase{"wheel away is clockwise", 1269, Gesture::kWheelAway, {0xBF, 0x60, 0x01}},
        TurnCase{"wheel toward is counter clockwise", 1270, Gesture::kWheelToward, {0xBF, 0x60, 0x41}},
        TurnCase{"wheel left half click", 1269, Gesture::kClick, {0xBF, 0x60, 0x41}},
        TurnCase{"wheel right half click", 1270, Gesture::kClick, {0xBF, 0x60, 0x01}},
        TurnCase{"wheel drag up", 1269, Gesture::kDragUp, {0xBF, 0x60, 0x01, 0xBF, 0x60, 0x01}},
        TurnCase{"wheel drag down", 1270, Gesture::kDragDown, {0xBF, 0x60, 0x41, 0xBF, 0x60, 0x41}}),
    test::NameFromWhat{});

TEST_F(SimulatedSurfaceWindowTest, MouseWheelOffThePotsAndWheelSendsNothing) {
  Wheel(Centre(1204), SimulatedSurfacePicture::kWheelNotch);
  Wheel(Centre(1226), SimulatedSurfacePicture::kWheelNotch);
  EXPECT_EQ(host.ReadAll(), Bytes{});
}

struct LampCase {
  const char* what;
  Bytes code;  // status and control number
  std::vector<ControlId> lit;
};
void PrintTo(const LampCase& c, std::ostream* os) { *os << c.what; }

class SimulatedSurfaceLamp : public SimulatedSurfaceWindowTest, public ::testing::WithParamInterface<LampCase> {};

TEST_P(SimulatedSurfaceLamp, LightsAndDarkensAsTheHostWrites) {
  const LampCase& lamp = GetParam();
  auto allLit = [&](bool lit) {
    for (ControlId id : lamp.lit)
      if (Picture().IsLampLit(id) != lit) return false;
    return true;
  };
  host.Write({lamp.code[0], lamp.code[1], 0x7F});
  EXPECT_TRUE(RunUntil([&] { return allLit(true); }));
  host.Write({lamp.code[0], lamp.code[1], 0x00});
  EXPECT_TRUE(RunUntil([&] { return allLit(false); }));
  EXPECT_EQ(window.LogText(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Lamps, SimulatedSurfaceLamp,
    ::testing::Values(LampCase{"mute chan 1 and its other layer", {0xBD, 0x00}, {1000, 1032}},
                      LampCase{"solo chan 32", {0xBD, 0x5F}, {1095, 1127}},
                      LampCase{"pan chan 5", {0xBE, 0x04}, {1132, 1164}},
                      LampCase{"Bank", {0xBE, 0x40}, {kBankButton}},
                      LampCase{"RECORD", {0xBE, 0x4F}, {1207}},
                      LampCase{"wheel counter clockwise", {0xBE, 0x57}, {1269}},
                      LampCase{"wheel clockwise", {0xBE, 0x58}, {1270}}),
    test::NameFromWhat{});

TEST_F(SimulatedSurfaceWindowTest, HostModeMessageShowsInTheTitleAndTheDarkBurstDarkensAll) {
  EXPECT_EQ(window.windowTitle(), "Simulated surface");
  host.Write({0xBD, 0x00, 0x7F, 0xBE, 0x40, 0x7F, 0xBE, 0x58, 0x7F});
  ASSERT_TRUE(RunUntil([&] { return Picture().IsLampLit(1270); }));
  const auto& mode = *ModeMessage(kModeHost);
  host.Write(Bytes(mode.begin(), mode.end()));
  const auto& dark = DarkLampBuffer();
  host.Write(Bytes(dark.begin(), dark.end()));
  EXPECT_TRUE(RunUntil([&] { return window.windowTitle().contains("Host"); }));
  EXPECT_TRUE(RunUntil([&] { return !Picture().IsLampLit(1270); }));
  for (ControlId id : {1000, 1032, int(kBankButton), 1270}) EXPECT_FALSE(Picture().IsLampLit(id)) << id;
  EXPECT_EQ(window.LogText(), "") << "lamps without a picture are lamps too, not other bytes";

  const auto& standard = *ModeMessage(kModeStandard);
  host.Write(Bytes(standard.begin(), standard.end()));
  EXPECT_TRUE(RunUntil([&] { return window.windowTitle().contains("Standard"); }));

  // Unplugged, the title says so at once, and a mode sent meanwhile waits for the connection.
  window.ShowConnection(false);
  EXPECT_EQ(window.windowTitle(), "Simulated surface - not connected");
  host.Write(Bytes(mode.begin(), mode.end()));
  ASSERT_FALSE(RunUntil([&] { return window.windowTitle().contains("Host"); }, std::chrono::milliseconds(200)));
  window.ShowConnection(true);
  EXPECT_EQ(window.windowTitle(), "Simulated surface - Host mode");
}

TEST_F(SimulatedSurfaceWindowTest, OtherBytesFromTheHostGoToTheLog) {
  host.Write({0xB0, 0x07, 0x40});  // not one of the surface's codes
  host.Write({0xF0, 0x01, 0x02, 0xF7});
  host.Write({0xBE, 0x4C, 0x40});  // a lamp code, but not a lamp value
  host.Write({0xBE, 0x4C});        // split: the rest comes later
  EXPECT_TRUE(RunUntil([&] { return window.LogText().count('\n') == 2; }));
  host.Write({0x7F});
  EXPECT_TRUE(RunUntil([&] { return window.LogText().count('\n') == 3; }));
  EXPECT_EQ(window.LogText(), "B0 07 40\nF0 01 02 F7\nBE 4C 40\nBE 4C 7F");
}

TEST_F(SimulatedSurfaceWindowTest, NeverTakesTheKeyboardFocus) {
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_EQ(window.focusPolicy(), Qt::NoFocus);
  for (QWidget* child : window.findChildren<QWidget*>())
    EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->metaObject()->className();
}

TEST_F(SimulatedSurfaceWindowTest, PlayingAnUnpluggedSurfaceSaysSo) {
  ASSERT_TRUE(surface.Unplug());
  Click(Centre(1204));
  EXPECT_TRUE(window.LogText().contains("not sent (BE 4C 7F)")) << window.LogText().toStdString();
}

// Host bytes keep arriving while windows come and go: none may reach a window that is gone.
TEST(SimulatedSurfaceWindowLifetime, WindowsComeAndGoWhileTheHostWrites) {
  test::OffscreenApp();
  sim::SimSurface surface;
  HostEnd host(surface.DevicePath());
  ASSERT_TRUE(host.Open());
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const Bytes lamps{0xBD, 0x00, 0x7F, 0xBD, 0x00, 0x00, 0xB0, 0x01, 0x02};
    while (!stop) {
      host.TryWrite(lamps);
      std::this_thread::sleep_for(200us);
    }
  });
  for (int round = 0; round < 30; ++round) {
    SimulatedSurfaceWindow window(surface);
    RunUntil([] { return false; }, 5ms);
  }
  stop = true;
  writer.join();
}

// The --simulate session: the window beside the commands on standard input.
TEST(SimulatedSurfaceSessionWindow, CommandsAndTheWindowPlayTheSameSurface) {
  test::OffscreenApp();
  std::vector<std::string> said;
  SimulatedSurfaceSession session([&said](const std::string& line) { said.push_back(line); });
  ASSERT_TRUE(session.Plugged());
  HostEnd host(session.DevicePath());
  ASSERT_TRUE(host.Open());
  EXPECT_EQ(session.Window(), nullptr);
  session.ShowWindow();
  ASSERT_NE(session.Window(), nullptr);
  EXPECT_TRUE(session.Window()->isVisible());
  EXPECT_EQ(session.Window()->windowTitle(), "Simulated surface");
  session.RunCommand("press PLAY");
  EXPECT_EQ(host.Read(3), (Bytes{0xBE, 0x4C, 0x7F}));
  host.Write({0xBE, 0x4F, 0x7F});
  EXPECT_TRUE(RunUntil([&] { return session.Window()->Picture().IsLampLit(1207); }));
}

}  // namespace
}  // namespace orvo
