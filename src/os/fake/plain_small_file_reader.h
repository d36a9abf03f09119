#pragma once
// Reading a small file with the standard library alone: the same refusals as the
// platform's reader, decided from the path's status before any open. For tests and
// tools that need files on disk but not the platform's guarantees.
#include <fstream>
#include <iterator>

#include "platform/small_file_reader.h"

namespace orvo {

class PlainSmallFileReader : public SmallFileReader {
 public:
  SmallFile Read(const std::filesystem::path& path, std::size_t limit) override {
    namespace fs = std::filesystem;
    SmallFile file;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return file;
    if (!fs::is_regular_file(status)) {
      file.status = SmallFile::Status::kNotRegular;
      return file;
    }
    if (fs::file_size(path, ec) > limit) {
      file.status = SmallFile::Status::kTooLarge;
      return file;
    }
    std::ifstream in(path, std::ios::binary);
    file.status = SmallFile::Status::kUnreadable;
    if (!in.is_open()) return file;
    file.bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) return file;
    file.status = file.bytes.size() > limit ? SmallFile::Status::kTooLarge : SmallFile::Status::kRead;
    if (file.status != SmallFile::Status::kRead) file.bytes.clear();
    return file;
  }
};

}  // namespace orvo
