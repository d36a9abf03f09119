// The Keyset folder's watch on Windows, under Wine.
#include "os/windows/directory_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "harness/temp_dir.h"
#include "os/windows/file_saver.h"
#include "platform/utf8_path.h"

namespace orvo {
namespace {

// Written by hand, saved, renamed away, with a name beyond ASCII: each reported by name.
TEST(WindowsDirectoryWatch, ReportsChangedFilesByName) {
  test::TempDir dir;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::string> names;
  WindowsDirectoryWatch watch;
  ASSERT_TRUE(watch.Start(dir.Path(), [&](const std::string& name) {
    std::lock_guard lock(mutex);
    names.push_back(name);
    arrived.notify_all();
  }, {}));
  auto awaitName = [&](const std::string& name) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(3),
                            [&] { return std::find(names.begin(), names.end(), name) != names.end(); });
  };
  dir.Write("SEQ.orvo", "DeviceMode:2\r\n");
  EXPECT_TRUE(awaitName("SEQ.orvo"));
  WindowsFileSaver saver;
  ASSERT_TRUE(saver.ReplaceFile(dir.Path() / Utf8Path("GR\u00dcN.orvo"), "DeviceMode:1\r\n"));
  EXPECT_TRUE(awaitName("GR\u00dcN.orvo"));
  std::filesystem::rename(dir.Path() / "SEQ.orvo", dir.Path() / "OLD.txt");
  EXPECT_TRUE(awaitName("OLD.txt"));
  watch.Stop();
  std::lock_guard lock(mutex);
  const std::size_t reported = names.size();
  dir.Write("LATE.orvo", "");
  EXPECT_EQ(names.size(), reported);  // nothing after Stop
}

// The folder moved away (as to the recycle bin) is told once; made again, it is told and
// followed again, with what it holds reported.
TEST(WindowsDirectoryWatch, FollowsTheDirectoryAgainWhenItReturns) {
  test::TempDir dir;
  const std::filesystem::path settings = dir.Path() / "Settings";
  std::filesystem::create_directory(settings);
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::string> events;  // file names, and "-" / "+" for the folder going and coming
  WindowsDirectoryWatch watch;
  auto record = [&](const std::string& event) {
    std::lock_guard lock(mutex);
    events.push_back(event);
    arrived.notify_all();
  };
  ASSERT_TRUE(watch.Start(settings, record, [&](bool present) { record(present ? "+" : "-"); }));
  auto await = [&](const std::string& event) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(5),
                            [&] { return std::find(events.begin(), events.end(), event) != events.end(); });
  };
  std::filesystem::rename(settings, dir.Path() / "Recycled");
  ASSERT_TRUE(await("-"));
  std::filesystem::create_directory(settings);
  {
    std::ofstream(settings / "BACK.orvo") << "DeviceMode:2\r\n";
  }
  ASSERT_TRUE(await("+"));
  EXPECT_TRUE(await("BACK.orvo"));
  std::lock_guard lock(mutex);
  EXPECT_EQ(std::count(events.begin(), events.end(), "-"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "+"), 1);
}

TEST(WindowsDirectoryWatch, AMissingDirectoryCannotBeWatched) {
  test::TempDir dir;
  WindowsDirectoryWatch watch;
  EXPECT_FALSE(watch.Start(dir.Path() / "missing", [](const std::string&) {}, {}));
}

}  // namespace
}  // namespace orvo
