#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app/settings_directory.h"
#include "app/single_instance.h"
#include "support/case_names.h"

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
  SingleInstance first(dir.path.string());
  ASSERT_TRUE(first.Acquired());
  SingleInstance second(dir.path.string());
  EXPECT_EQ(second.Result(), SingleInstance::State::kHeldByAnother);
  EXPECT_EQ(second.HolderPid(), static_cast<long>(getpid()));
}

TEST(SingleInstance, FreedWhenTheHolderEnds) {
  TempDir dir;
  { SingleInstance first(dir.path.string()); }
  SingleInstance again(dir.path.string());
  EXPECT_TRUE(again.Acquired());
}

// What another user (or a stale run) may have left where the lock goes. `plant` gets the
// lock's directory (inside a fresh 0700 one) and the victim file a link may point at.
struct PlantedCase {
  const char* what;
  std::function<bool(const fs::path& directory, const fs::path& victim)> plant;  // false: cannot here
  SingleInstance::State expected;
};

class PlantedLock : public ::testing::TestWithParam<PlantedCase> {};

TEST_P(PlantedLock, IsNeverTakenAsOursNorFollowed) {
  TempDir dir;
  const fs::path directory = dir.path / "run", victim = dir.path / "victim";
  std::ofstream(victim) << "precious\n";
  if (!GetParam().plant(directory, victim)) GTEST_SKIP() << "needs to run as root";
  SingleInstance instance(directory.string());
  EXPECT_EQ(instance.Result(), GetParam().expected) << instance.Problem();
  EXPECT_EQ(instance.HolderPid(), 0);
  EXPECT_EQ(instance.Problem().empty(), instance.Result() != SingleInstance::State::kUnusable);
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious\n");
}

bool MakeDirectory(const fs::path& directory, mode_t mode = 0700) {
  return mkdir(directory.c_str(), mode) == 0 && chmod(directory.c_str(), mode) == 0;
}

INSTANTIATE_TEST_SUITE_P(
    SingleInstance, PlantedLock,
    ::testing::Values(
        PlantedCase{"missing directory is made", [](auto&, auto&) { return true; }, SingleInstance::State::kAcquired},
        PlantedCase{"lock is a link to another file",
                    [](const fs::path& d, const fs::path& victim) {
                      return MakeDirectory(d) && symlink(victim.c_str(), (d / "orvo.lock").c_str()) == 0;
                    },
                    SingleInstance::State::kUnusable},
        PlantedCase{"lock belongs to another user",
                    [](const fs::path& d, auto&) {
                      const fs::path lock = d / "orvo.lock";
                      return MakeDirectory(d) && std::ofstream(lock).good() && chown(lock.c_str(), 65534, 65534) == 0;
                    },
                    SingleInstance::State::kUnusable},
        PlantedCase{"lock cannot be opened",
                    [](const fs::path& d, auto&) { return MakeDirectory(d) && MakeDirectory(d / "orvo.lock"); },
                    SingleInstance::State::kUnusable},
        PlantedCase{"lock held, no process written",
                    [](const fs::path& d, auto&) {
                      static int held = -1;  // stays locked for the test
                      if (held >= 0) close(held);
                      if (!MakeDirectory(d)) return false;
                      held = open((d / "orvo.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
                      return held >= 0 && flock(held, LOCK_EX) == 0;
                    },
                    SingleInstance::State::kHeldByAnother},
        PlantedCase{"directory open to others", [](const fs::path& d, auto&) { return MakeDirectory(d, 0777); },
                    SingleInstance::State::kUnusable},
        PlantedCase{"directory is a link",
                    [](const fs::path& d, const fs::path& victim) {
                      return MakeDirectory(victim.parent_path() / "real") &&
                             symlink((victim.parent_path() / "real").c_str(), d.c_str()) == 0;
                    },
                    SingleInstance::State::kUnusable},
        PlantedCase{"directory belongs to another user",
                    [](const fs::path& d, auto&) { return MakeDirectory(d) && chown(d.c_str(), 65534, 65534) == 0; },
                    SingleInstance::State::kUnusable}),
    test::NameFromWhat{});

}  // namespace
}  // namespace orvo
