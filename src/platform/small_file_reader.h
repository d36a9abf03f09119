#pragma once
// Reading a small file whole without ever waiting on something that is not one: only a
// regular file up to a size cap is read; a FIFO, a device, a directory or a file beyond
// the cap is refused without a read (and without an open that could wait). Any thread.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace orvo {

struct SmallFile {
  enum class Status {
    kRead,        // `bytes` holds the whole file
    kMissing,     // nothing under that name (or a dangling link)
    kNotRegular,  // a FIFO, a device, a socket or a directory
    kTooLarge,    // larger than the cap
    kUnreadable,  // no access, or the read failed
  };
  Status status = Status::kMissing;
  std::string bytes;
};

class SmallFileReader {
 public:
  virtual ~SmallFileReader() = default;
  // The whole of `path` (a link is followed) when it is a regular file of at most
  // `limit` bytes.
  virtual SmallFile Read(const std::filesystem::path& path, std::size_t limit) = 0;
};

// For the readers: the rest of an open regular file that had `size` bytes, read through
// `read(into, count)` (the bytes read, 0 at its end, negative on a failure) into `file`,
// which then holds kRead and the bytes, kTooLarge when it grew past `limit` meanwhile or
// memory ran out, or kUnreadable.
void ReadWithinLimit(SmallFile& file, std::size_t size, std::size_t limit,
                     const std::function<std::ptrdiff_t(char* into, std::size_t count)>& read);

}  // namespace orvo
