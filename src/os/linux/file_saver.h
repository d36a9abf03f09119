#pragma once
// Saving a file on Linux: the bytes go to a new temporary file created exclusively beside
// the file (never through a link, under a name no one else holds), which is flushed to
// disk, given the old file's permissions and renamed over it; then the directory is
// flushed as well, so that the rename survives a power loss. A temporary file left by an
// earlier crash is never opened, followed or reused.
#include "platform/file_saver.h"

namespace orvo {

class LinuxFileSaver : public FileSaver {
 public:
  bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) override;
};

}  // namespace orvo
