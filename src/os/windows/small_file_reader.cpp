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
    file.status = Status::kRead;
    try {
      file.bytes.resize(static_cast<std::size_t>(size) + 1);
      std::size_t got = 0;
      while (got < file.bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(file.bytes.size() - got, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(handle, file.bytes.data() + got, want, &n, nullptr)) {
          file.status = Status::kUnreadable;
          break;
        }
        if (n == 0) break;
        got += n;
        if (got == file.bytes.size() && got <= limit) file.bytes.resize(std::min(limit + 1, got * 2));
      }
      if (got > limit) file.status = Status::kTooLarge;
      file.bytes.resize(file.status == Status::kRead ? got : 0);
    } catch (const std::bad_alloc&) {
      file.status = Status::kTooLarge;
      file.bytes = std::string();
    }
  }
  CloseHandle(handle);
  return file;
}

}  // namespace orvo
