#pragma once
// Reading a small file on Windows: opened with every sharing mode (a save may replace it
// meanwhile) and checked on the open handle: a disk file that is not a directory, at most
// the cap. A named pipe, a console or a device is refused without a read. Reads stop one
// byte past the cap, so a file that grows meanwhile is refused rather than read on.
#include "platform/small_file_reader.h"

namespace orvo {

class WindowsSmallFileReader : public SmallFileReader {
 public:
  SmallFile Read(const std::filesystem::path& path, std::size_t limit) override;
};

}  // namespace orvo
