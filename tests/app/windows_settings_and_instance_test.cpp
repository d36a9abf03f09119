// The Windows program's settings folder and its one-per-user lock, under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "os/windows/settings_directory.h"
#include "os/windows/single_instance.h"

namespace orvo {
namespace {

TEST(WindowsSettings, TheConfigHomeIsTheRoamingApplicationDataFolder) {
  const std::filesystem::path home = WindowsConfigHome();
  EXPECT_TRUE(std::filesystem::is_directory(home)) << home;
  wchar_t appData[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
  EXPECT_TRUE(std::filesystem::equivalent(home, appData)) << home;
}

TEST(WindowsSingleInstance, OneHolderPerNameUntilItGoes) {
  const std::string name = "OrvoTest-" + std::to_string(GetCurrentProcessId());
  {
    WindowsSingleInstance first(name);
    ASSERT_TRUE(first.Acquired()) << first.Problem();
    WindowsSingleInstance second(name);
    EXPECT_EQ(second.Result(), WindowsSingleInstance::State::kHeldByAnother);
  }
  WindowsSingleInstance again(name);
  EXPECT_TRUE(again.Acquired());
  WindowsSingleInstance user;  // the program's own name: the user's security id
  EXPECT_NE(user.Name().find("Orvo-S-1-"), std::string::npos) << user.Name();
  EXPECT_TRUE(user.Acquired()) << user.Problem();
}

}  // namespace
}  // namespace orvo
