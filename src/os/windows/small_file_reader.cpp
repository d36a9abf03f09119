#include "os/windows/small_file_reader.h"

#include <windows.h>

#include <algorithm>
#include <new>

namespace orvo {
namespace {

using Status = SmallFile::Status;

Status OpenError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME
             ? Status::kMissing
             : Status::kUnreadable;
}

}  // namespace

SmallFile WindowsSmallFileReader::Read(const std::filesystem::path& path, std::size_t limit) {
  SmallFile file;
  // FILE_FLAG_BACKUP_SEMANTICS lets a directory open, so that it is told as one.
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file.status = OpenError(GetLastError());
    return file;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    file.status = Status::kNotRegular;
  } else if (!GetFileInformationByHandle(handle, &info)) {
    file.status = Status::kUnreadable;
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    file.status = Status::kNotRegular;
  } else if (const ULONGLONG size = (ULONGLONG{info.nFileSizeHigh} << 32) | info.nFileSizeLow; size > limit) {
    file.status = Status::kTooLarge;
  } else {
    ReadWithinLimit(file, static_cast<std::size_t>(size), limit, [handle](char* into, std::size_t count) {
      DWORD n = 0;
      const auto want = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
      return ReadFile(handle, into, want, &n, nullptr) ? static_cast<std::ptrdiff_t>(n) : std::ptrdiff_t{-1};
    });
  }
  CloseHandle(handle);
  return file;
}

}  // namespace orvo
