#include "app/settings_directory.h"

#include <cstdlib>
#include <system_error>

namespace orvo {

std::filesystem::path ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".config";
  return std::filesystem::current_path();
}

std::filesystem::path ChooseSettingsDirectory(const std::filesystem::path& configHome) {
  const std::filesystem::path home = configHome.empty() ? ConfigHome() : configHome;
  std::error_code ignored;
  std::filesystem::create_directory(home, ignored);
  const auto company = home / "QuorrelElectronics";
  std::filesystem::create_directory(company, ignored);
  const auto product = company / "Orvo";
  std::filesystem::create_directory(product, ignored);
  const auto settings = product / "Settings";
  std::error_code error;
  std::filesystem::create_directory(settings, error);
  if (std::filesystem::is_directory(settings, ignored)) return settings;
  return home;
}

}  // namespace orvo
