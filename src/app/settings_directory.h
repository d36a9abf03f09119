#pragma once
// Where the Keyset files live: $XDG_CONFIG_HOME (default ~/.config) followed by
// QuorrelElectronics/Orvo/Settings, each folder created on the way. When the last one
// cannot be made, the config home itself serves.
#include <filesystem>
#include <string>

namespace orvo {

// `configHome` empty: from the environment.
std::filesystem::path ChooseSettingsDirectory(const std::filesystem::path& configHome = {});

// The config home as the environment gives it: $XDG_CONFIG_HOME when absolute, else
// $HOME/.config, else the current directory.
std::filesystem::path ConfigHome();

}  // namespace orvo
