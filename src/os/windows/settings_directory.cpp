#include "os/windows/settings_directory.h"

#include <windows.h>
// clang-format off
#include <knownfolders.h>
#include <shlobj.h>
// clang-format on

#include <cstdlib>

namespace orvo {

std::filesystem::path WindowsConfigHome() {
  wchar_t* folder = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder))) {
    std::filesystem::path home(folder);
    CoTaskMemFree(folder);
    return home;
  }
  if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData && *appData) return appData;
  return std::filesystem::current_path();
}

}  // namespace orvo
