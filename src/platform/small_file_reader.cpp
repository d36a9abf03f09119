#include "platform/small_file_reader.h"

#include <algorithm>
#include <new>

namespace orvo {

void ReadWithinLimit(SmallFile& file, std::size_t size, std::size_t limit,
                     const std::function<std::ptrdiff_t(char* into, std::size_t count)>& read) {
  using Status = SmallFile::Status;
  file.status = Status::kRead;
  try {
    // One byte more than the file had: a file that grew is noticed without a second look.
    file.bytes.resize(size + 1);
    std::size_t got = 0;
    while (got < file.bytes.size()) {
      const std::ptrdiff_t n = read(file.bytes.data() + got, file.bytes.size() - got);
      if (n == 0) break;
      if (n < 0) {
        file.status = Status::kUnreadable;
        break;
      }
      got += static_cast<std::size_t>(n);
      if (got == file.bytes.size() && got <= limit) file.bytes.resize(std::min(limit + 1, got * 2));
    }
    if (got > limit) file.status = Status::kTooLarge;
    file.bytes.resize(file.status == Status::kRead ? got : 0);
  } catch (const std::bad_alloc&) {
    file.status = Status::kTooLarge;
    file.bytes = std::string();
  }
}

}  // namespace orvo
