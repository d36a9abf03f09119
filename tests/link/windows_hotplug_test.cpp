// Device-change notifications on Windows, under Wine: no device comes or goes here, so the
// test sends the window the messages Windows would.
#include "os/windows/hotplug.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <dbt.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace orvo {
namespace {

TEST(DeviceNotifications, EachDeviceChangeReachesTheHandlerOnItsThread) {
  std::atomic<int> changes{0};
  std::atomic<DWORD> thread{0};
  {
    DeviceNotifications notifications([&] {
      thread = GetCurrentThreadId();
      ++changes;
    });
    // Wine makes windows only with an X display.
    if (!notifications.Active() && !std::getenv("DISPLAY")) GTEST_SKIP() << "no desktop to make windows on";
    ASSERT_TRUE(notifications.Active()) << notifications.Error();
    const HWND window = static_cast<HWND>(notifications.Window());
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
    SendMessageW(window, WM_DEVICECHANGE, DBT_QUERYCHANGECONFIG, 0);  // not a change
    EXPECT_EQ(changes.load(), 3);
    EXPECT_NE(thread.load(), GetCurrentThreadId());
  }
  EXPECT_EQ(changes.load(), 3);  // ends cleanly, its thread joined
}

}  // namespace
}  // namespace orvo
