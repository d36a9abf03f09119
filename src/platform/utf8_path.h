#pragma once
// File names as UTF-8 text on every system. Keyset names, the names a directory watch
// reports and the settings folder are UTF-8 strings; a path keeps the system's own form
// (bytes on Linux, UTF-16 on Windows), so a name crosses into a path and back only here.
#include <filesystem>
#include <string>
#include <string_view>

namespace orvo {

inline std::filesystem::path Utf8Path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace orvo
