// The driver with its tray window under Qt's offscreen platform (no tray there: the small
// status window serves), against the simulated surface: the state and tip follow the
// surface on connect, unplug and replug.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>

#include "app/application.h"
#include "app/linux_qt_system.h"
#include "app/tray_window.h"
#include "harness/temp_dir.h"
#include "protocol/device_modes.h"
#include "sim/sim_surface.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;

// The first poll after a connection puts the surface into Host mode and darkens its
// lamps; waiting for it keeps an unplug from cutting that poll's writes off.
constexpr std::size_t kModeAndLampBytes = 5 + kLampMessageCount * 3;

// The bridge settles off the main thread: the connection arrives as a posted task.
bool RunEventsUntilConnected(const TrayWindow& tray) {
  for (auto until = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < until;) {
    if (tray.ShownState() == ConnectionState::kConnected) return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return false;
}

TEST(ApplicationTray, IconStateAndTipFollowTheSurface) {
  test::OffscreenApp();
  test::TempDir dir;
  sim::SimSurface surface((dir.Path() / "surface").string());
  ASSERT_TRUE(surface.Plugged()) << surface.Error();
  Options options;
  options.devicePath = surface.LinkPath();
  options.settingsDir = (dir.Path() / "settings").string();
  LinuxQtSystem system;
  Application app(options, system);
  ASSERT_TRUE(app.Start());
  const TrayWindow* tray = app.Tray();
  ASSERT_NE(tray, nullptr);
  EXPECT_TRUE(RunEventsUntilConnected(*tray));
  EXPECT_EQ(tray->ToolTip().split('\n').front(), "Orvo");
  ASSERT_TRUE(surface.WaitForReceived(kModeAndLampBytes, 10s));

  // The tty's hang-up posts this check; here the test runs it.
  ASSERT_TRUE(surface.Unplug());
  app.CheckConnection();
  EXPECT_EQ(tray->ShownState(), ConnectionState::kDisconnected);
  EXPECT_TRUE(tray->ToolTip().startsWith("Orvo Disconnected\nsurface not connected"));

  surface.ClearReceived();
  ASSERT_TRUE(surface.Replug());
  app.CheckConnection();
  EXPECT_EQ(tray->ShownState(), ConnectionState::kDisconnected);  // settling
  EXPECT_TRUE(RunEventsUntilConnected(*tray));
  EXPECT_EQ(tray->ToolTip().split('\n').front(), "Orvo");
  EXPECT_TRUE(surface.WaitForReceived(kModeAndLampBytes, 10s));
  app.Shutdown();
}

}  // namespace
}  // namespace orvo
