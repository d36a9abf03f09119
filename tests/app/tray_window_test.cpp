// The tray window under Qt's offscreen platform (no tray there: the small window serves).
#include "app/tray_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

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
  EXPECT_EQ(tray.ToolTip(), "Orvo Disconnected");
  EXPECT_EQ(calls.checks, 1);
  tray.ShowConnectionState(ConnectionState::kConnected);
  EXPECT_EQ(tray.ToolTip(), "Orvo");
  tray.ShowConnectionState(ConnectionState::kDisconnected);
  EXPECT_EQ(tray.ShownState(), ConnectionState::kDisconnected);
  EXPECT_EQ(tray.ToolTip(), "Orvo Disconnected");
  tray.OnDeviceChange();
  EXPECT_EQ(calls.checks, 2);
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
