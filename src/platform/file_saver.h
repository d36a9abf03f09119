#pragma once
// Replacing a file's whole content so that nothing is half written: a reader, a crash or
// a power loss leaves either the old bytes or the new ones. Called on the thread that
// saves the Keysets (the editor's GUI thread, or the main thread at start-up).
#include <filesystem>
#include <string_view>

namespace orvo {

class FileSaver {
 public:
  virtual ~FileSaver() = default;
  // Writes `bytes` as the whole content of `path`; false, with `path` untouched, when
  // that fails. Where `path` is a symbolic link, the file it points to is written and
  // the link stays; an existing file keeps its permissions.
  virtual bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) = 0;
};

// For the savers: the file a save writes, `path` itself or where its chain of links ends.
std::filesystem::path SaveTarget(const std::filesystem::path& path);

}  // namespace orvo
