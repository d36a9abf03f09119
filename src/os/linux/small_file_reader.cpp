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
    try {
      file.bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
      std::size_t got = 0;
      while (got < file.bytes.size()) {
        const ssize_t n = ::read(fd, file.bytes.data() + got, file.bytes.size() - got);
        if (n == 0) break;
        if (n < 0) {
          if (errno == EINTR) continue;
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
  ::close(fd);
  return file;
}

}  // namespace orvo
