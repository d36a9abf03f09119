#include "os/linux/small_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>

namespace orvo {
namespace {

using Status = SmallFile::Status;

Status StatusOf(const struct stat& info, std::size_t limit) {
  if (!S_ISREG(info.st_mode)) return Status::kNotRegular;
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > limit) return Status::kTooLarge;
  return Status::kRead;
}

}  // namespace

SmallFile LinuxSmallFileReader::Read(const std::filesystem::path& path, std::size_t limit) {
  SmallFile file;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    file.status = errno == ENOENT || errno == ENOTDIR ? Status::kMissing : Status::kUnreadable;
    return file;
  }
  if ((file.status = StatusOf(info, limit)) != Status::kRead) return file;

  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    file.status = errno == ENOENT ? Status::kMissing : Status::kUnreadable;
    return file;
  }
  if (::fstat(fd, &info) != 0) {
    file.status = Status::kUnreadable;
  } else if ((file.status = StatusOf(info, limit)) == Status::kRead) {
    ReadWithinLimit(file, static_cast<std::size_t>(info.st_size), limit, [fd](char* into, std::size_t count) {
      for (;;) {
        const ssize_t n = ::read(fd, into, count);
        if (n >= 0 || errno != EINTR) return static_cast<std::ptrdiff_t>(n);
      }
    });
  }
  ::close(fd);
  return file;
}

}  // namespace orvo
