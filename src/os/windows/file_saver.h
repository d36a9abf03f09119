#pragma once
// Saving a file on Windows: the bytes go to a new temporary file created exclusively
// beside the file, which is flushed to disk and then put in the file's place with
// ReplaceFileW (the file keeps its attributes and security) or, for a new file, moved
// there with a write-through move. A failed save leaves the old file and no temporary one.
#include "platform/file_saver.h"

namespace orvo {

class WindowsFileSaver : public FileSaver {
 public:
  bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) override;
};

}  // namespace orvo
