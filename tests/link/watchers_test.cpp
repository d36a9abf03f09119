// The descriptor watchers behind hot-plug: they wake only for their descriptor, and stop
// and join cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "harness/pty_link_rig.h"
#include "os/linux/fd_watch_thread.h"
#include "os/linux/hotplug.h"
#include "os/linux/path_watcher.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;

template <class Pred>
bool Eventually(Pred pred) {
  for (int i = 0; i < 2000 && !pred(); ++i) std::this_thread::sleep_for(1ms);
  return pred();
}

TEST(FdWatchThreadTest, RunsTheHandlerWhenReadable) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
  std::atomic<int> calls{0};
  {
    FdWatchThread watch(pipeFds[0], [&] {
      char buffer[16];
      while (read(pipeFds[0], buffer, sizeof buffer) > 0) {
      }
      ++calls;
    });
    ASSERT_TRUE(watch.Running());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls.load(), 0);  // nothing to read: no call
    ASSERT_EQ(write(pipeFds[1], "x", 1), 1);
    EXPECT_TRUE(Eventually([&] { return calls.load() == 1; }));
    ASSERT_EQ(write(pipeFds[1], "y", 1), 1);
    EXPECT_TRUE(Eventually([&] { return calls.load() == 2; }));
  }  // stops and joins
  close(pipeFds[1]);
  close(pipeFds[0]);
}

TEST(FdWatchThreadTest, HangUpEndsTheWatchWithoutSpinning) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC), 0);
  std::atomic<int> calls{0};
  FdWatchThread watch(pipeFds[0], [&] { ++calls; });
  close(pipeFds[1]);  // the read end now reports a hang-up for ever
  const auto before = test::ProcessCpuTime();
  std::this_thread::sleep_for(100ms);
  EXPECT_LT(test::ProcessCpuTime() - before, 20ms);
  EXPECT_EQ(calls.load(), 0);
  close(pipeFds[0]);
}

TEST(PathWatcherTest, ReportsOnlyItsOwnEntry) {
  test::TempDir dir;
  std::atomic<int> calls{0};
  PathWatcher watcher(dir.Path() + "/device", [&] { ++calls; });
  ASSERT_TRUE(watcher.Active());
  std::ofstream(dir.Path() + "/other") << "x";
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.load(), 0);
  ASSERT_EQ(symlink("/dev/null", (dir.Path() + "/device").c_str()), 0);
  EXPECT_TRUE(Eventually([&] { return calls.load() >= 1; }));
  const int afterCreate = calls.load();
  unlink((dir.Path() + "/device").c_str());
  EXPECT_TRUE(Eventually([&] { return calls.load() > afterCreate; }));
}

TEST(PathWatcherTest, MissingDirectoryIsInactive) {
  PathWatcher watcher("/nonexistent-orvo-dir/device", [] {});
  EXPECT_FALSE(watcher.Active());
}

TEST(UdevMonitorTest, StartsAndStopsCleanly) {
  std::atomic<int> calls{0};
  UdevMonitor monitor([&] { ++calls; });
  if (!monitor.Active()) GTEST_SKIP() << "udev not reachable here: " << monitor.Error();
  // No udev daemon runs in test containers, so no events arrive; it must sleep meanwhile.
  const auto before = test::ProcessCpuTime();
  std::this_thread::sleep_for(100ms);
  EXPECT_LT(test::ProcessCpuTime() - before, 20ms);
}

}  // namespace
}  // namespace orvo
