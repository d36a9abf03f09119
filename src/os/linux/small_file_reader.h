#pragma once
// Reading a small file on Linux: the path is looked at first (a FIFO or a device is never
// opened), then opened without blocking and checked again on the open descriptor, so that
// a file swapped for something else in between is refused all the same. Reads stop one
// byte past the cap, so a file that grows meanwhile is refused rather than read on.
#include "platform/small_file_reader.h"

namespace orvo {

class LinuxSmallFileReader : public SmallFileReader {
 public:
  SmallFile Read(const std::filesystem::path& path, std::size_t limit) override;
};

}  // namespace orvo
