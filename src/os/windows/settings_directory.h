#pragma once
// Where the settings live on Windows: the user's roaming application data folder
// (%APPDATA%), under which the Keyset folder is made as on every system.
#include <filesystem>

namespace orvo {

// The roaming application data folder; %APPDATA% where the shell cannot say; the current
// folder when neither can.
std::filesystem::path WindowsConfigHome();

}  // namespace orvo
