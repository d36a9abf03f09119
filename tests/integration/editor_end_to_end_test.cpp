// The editor in the running driver: opened at start over a surface on a pty, it comes to
// the front, and a control touched on the surface is selected there: its lamp lights on
// the surface and its new mapping is saved when the driver exits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "protocol/device_modes.h"
#include "sim_surface/sim_surface.h"
#include "support/driver_process.h"
#include "support/temp_dir.h"
#include "support/focus_client_process.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr auto kPatience = 15s;

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST(EditorEndToEnd, TouchingAControlSelectsItInTheEditorAndLightsItsLamp) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  test::TempDir runtimeDir;
  test::TempDir settingsDir;
  chmod(runtimeDir.Path().c_str(), 0700);
  sim::SimSurface surface((runtimeDir.Path() / "surface").string());
  ASSERT_TRUE(surface.Plugged()) << surface.Error();

  test::DriverProcess driver(ORVO_BINARY,
                             {"--editor", "--device", surface.LinkPath(), "--settings-dir",
                              settingsDir.Path().string()},
                             {"XDG_RUNTIME_DIR=" + runtimeDir.Path().string()});
  ASSERT_GT(driver.Pid(), 0);
  const std::size_t hostMode = 5 + DarkLampBuffer().size();
  ASSERT_TRUE(surface.WaitForReceived(hostMode, kPatience)) << driver.Transcript();

  // The focus finder notices the editor in front within its poll; until then a touch
  // goes nowhere. Touch channel 1's first button until its lamp comes back; in the layer
  // that Host mode starts in, it is ARM 1.
  const Bytes armOneLamp{0xBD, 0x00, 0x7F};
  bool lit = false;
  for (auto until = std::chrono::steady_clock::now() + kPatience; !lit && std::chrono::steady_clock::now() < until;) {
    surface.Send({0xBD, 0x00, 0x7F});
    surface.Send({0xBD, 0x00, 0x00});
    std::this_thread::sleep_for(300ms);
    const Bytes got = surface.Received();
    lit = Contains(Bytes(got.begin() + static_cast<std::ptrdiff_t>(hostMode), got.end()), armOneLamp);
  }
  EXPECT_TRUE(lit) << "the editor never lit the lamp of the control touched\n" << driver.Transcript();

  const std::optional<int> status = driver.SignalAndWait(SIGTERM, kPatience);
  ASSERT_TRUE(status.has_value()) << driver.Transcript();
  EXPECT_EQ(*status, 0) << driver.Transcript();
  // The touch gave ARM 1 a blank mapping in DEFAULT; closing the editor saved it.
  EXPECT_NE(settingsDir.Read("DEFAULT.orvo").find("1032:"), std::string::npos) << settingsDir.Read("DEFAULT.orvo");
}

}  // namespace
}  // namespace orvo
