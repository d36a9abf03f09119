#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/settings_directory.h"
#include "app/single_instance.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    char pattern[] = "/tmp/orvo-app-test-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, ignored);
    fs::remove_all(path, ignored);
  }
};

TEST(SettingsDirectory, CreatedUnderTheConfigHome) {
  TempDir home;
  const fs::path dir = ChooseSettingsDirectory(home.path);
  EXPECT_EQ(dir, home.path / "QuorrelElectronics" / "Orvo" / "Settings");
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_EQ(ChooseSettingsDirectory(home.path), dir);  // existing: the same
}

TEST(SettingsDirectory, FallsBackToTheConfigHome) {
  TempDir home;
  fs::create_directories(home.path / "QuorrelElectronics" / "Orvo");
  // A file where the folder should be: it cannot be made.
  std::ofstream(home.path / "QuorrelElectronics" / "Orvo" / "Settings") << "x";
  EXPECT_EQ(ChooseSettingsDirectory(home.path), home.path);
}

TEST(SingleInstance, SecondHolderIsRefusedAndToldWho) {
  TempDir dir;
  const std::string lock = (dir.path / "orvo.lock").string();
  SingleInstance first(lock);
  ASSERT_TRUE(first.Acquired());
  SingleInstance second(lock);
  EXPECT_FALSE(second.Acquired());
  EXPECT_EQ(second.HolderPid(), static_cast<long>(getpid()));
}

TEST(SingleInstance, FreedWhenTheHolderEnds) {
  TempDir dir;
  const std::string lock = (dir.path / "orvo.lock").string();
  { SingleInstance first(lock); }
  SingleInstance again(lock);
  EXPECT_TRUE(again.Acquired());
}

}  // namespace
}  // namespace orvo
