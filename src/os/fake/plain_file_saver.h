#pragma once
// Saving with the standard library alone: the bytes go to NAME.tmp, which is renamed over
// the file. No flush to disk, no care for links or permissions: for tests and tools that
// need files on disk but not the platform's guarantees.
#include <fstream>

#include "platform/file_saver.h"

namespace orvo {

class PlainFileSaver : public FileSaver {
 public:
  bool ReplaceFile(const std::filesystem::path& path, std::string_view bytes) override {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    bool written = false;
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      written = !out.fail();
    }
    std::error_code ec;
    if (written) std::filesystem::rename(temporary, path, ec);
    if (written && !ec) return true;
    std::filesystem::remove(temporary, ec);
    return false;
  }
};

}  // namespace orvo
