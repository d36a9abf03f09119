// The tray window under Qt's offscreen platform (no tray there: the small window serves).
#include "app/tray_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include "support/case_names.h"

namespace orvo {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "tray_window_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

struct Calls {
  int editor = 0, exit = 0, checks = 0;
  TrayWindow::Commands Commands() {
    return {[this] { ++editor; }, [this] { ++exit; }, [this] { ++checks; }};
  }
};

QStringList MenuTexts(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) texts << (a->isSeparator() ? "-" : a->text());
  return texts;
}

TEST(TrayWindow, StartsDisconnectedThenChecksTheConnection) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  tray.CreateTrayWindow();
  EXPECT_EQ(tray.ShownState(), ConnectionState::kDisconnected);
  EXPECT_EQ(tray.ToolTip(), "Orvo Disconnected\nsurface not connected");
  EXPECT_EQ(calls.checks, 1);
  tray.ShowConnectionState(ConnectionState::kConnected);
  EXPECT_EQ(tray.ToolTip(), "Orvo");
  tray.ShowConnectionState(ConnectionState::kDisconnected);
  EXPECT_EQ(tray.ShownState(), ConnectionState::kDisconnected);
  EXPECT_EQ(tray.ToolTip(), "Orvo Disconnected\nsurface not connected");
  tray.OnDeviceChange();
  EXPECT_EQ(calls.checks, 2);
}

// The icon and the tip tell apart what stops the surface from reaching the applications:
// the surface first, then the MIDI system, then a Keyset's port.
struct TrayCase {
  const char* what;
  ConnectionState state;
  const char* problem;
  const char* absent;
  TrayLook look;
  const char* tip;
};

class TrayStates : public ::testing::TestWithParam<TrayCase> {};

TEST_P(TrayStates, IconAndTipNameTheTrouble) {
  const TrayCase& c = GetParam();
  EXPECT_EQ(TrayStateOf(c.state, c.problem, c.absent), (TrayState{c.look, c.tip}));
}

constexpr auto kOn = ConnectionState::kConnected;
constexpr auto kOff = ConnectionState::kDisconnected;
INSTANTIATE_TEST_SUITE_P(
    Cases, TrayStates,
    ::testing::Values(
        TrayCase{"all well", kOn, "", "", TrayLook::kConnected, "Orvo"},
        TrayCase{"no surface", kOff, "", "", TrayLook::kDisconnected, "Orvo Disconnected\nsurface not connected"},
        TrayCase{"no surface and no MIDI", kOff, "no JACK server", "", TrayLook::kDisconnected,
                 "Orvo Disconnected\nsurface not connected\nno MIDI system: no JACK server"},
        TrayCase{"no MIDI system, said once", kOn, "No MIDI system is available: no JACK server", "",
                 TrayLook::kMidiTrouble, "Orvo\nno MIDI system: no JACK server"},
        TrayCase{"a port not there", kOn, "", "port of SYNTH not connected (synth:in)", TrayLook::kMidiTrouble,
                 "Orvo\nport of SYNTH not connected (synth:in)"}),
    test::NameFromWhat{});

// The MIDI system that starts later clears the state by itself.
TEST(TrayWindow, TheMidiStateClearsWhenItIsResolved) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  tray.ShowConnectionState(ConnectionState::kConnected);
  tray.ShowMidiState("no JACK server", "");
  EXPECT_EQ(tray.ToolTip(), "Orvo\nno MIDI system: no JACK server");
  tray.ShowMidiState("", "");
  EXPECT_EQ(tray.ToolTip(), "Orvo");
}

TEST(TrayWindow, WithASimulatedSurfaceTheMenuCanShowItsWindowAgain) {
  App();
  Calls calls;
  int shown = 0;
  TrayWindow::Commands commands = calls.Commands();
  commands.showSimulatedSurface = [&shown] { ++shown; };
  TrayWindow tray(std::move(commands), false);
  EXPECT_EQ(MenuTexts(tray.Menu()), (QStringList{"&Start Editor", "Simulated &Surface", "-", "&About", "-", "&Exit"}));
  tray.Menu()->actions()[1]->trigger();
  EXPECT_EQ(shown, 1);
}

TEST(TrayWindow, MenuHoldsTheThreeCommands) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  EXPECT_EQ(MenuTexts(tray.Menu()), (QStringList{"&Start Editor", "-", "&About", "-", "&Exit"}));
  tray.Menu()->actions()[0]->trigger();
  tray.Menu()->actions()[4]->trigger();
  EXPECT_EQ(calls.editor, 1);
  EXPECT_EQ(calls.exit, 1);
}

// Without a tray the user still has a way in: a window with the state and the commands.
TEST(TrayWindow, WithoutATrayAWindowOffersTheCommands) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  tray.CreateTrayWindow();
  ASSERT_NE(tray.StatusWindow(), nullptr);
  EXPECT_TRUE(tray.StatusWindow()->isVisible());
  QStringList buttons;
  for (auto* b : tray.StatusWindow()->findChildren<QPushButton*>()) buttons << b->text();
  EXPECT_EQ(buttons, (QStringList{"&Start Editor", "&About", "&Exit"}));
  for (auto* b : tray.StatusWindow()->findChildren<QPushButton*>())
    if (b->text() == "&Start Editor") b->click();
  EXPECT_EQ(calls.editor, 1);
}

TEST(TrayWindow, ClosingTheSmallWindowEndsTheDriver) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  tray.CreateTrayWindow();
  tray.StatusWindow()->close();
  EXPECT_EQ(calls.exit, 1);
}

TEST(TrayIcons, ConnectedAndDisconnectedDiffer) {
  App();
  Calls calls;
  TrayWindow tray(calls.Commands(), false);
  tray.ShowConnectionState(ConnectionState::kConnected);
  const QImage on = tray.StatusWindow()->windowIcon().pixmap(32, 32).toImage();
  tray.ShowConnectionState(ConnectionState::kDisconnected);
  const QImage off = tray.StatusWindow()->windowIcon().pixmap(32, 32).toImage();
  EXPECT_NE(on, off);
}

}  // namespace
}  // namespace orvo
