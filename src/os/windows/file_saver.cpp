#include "os/windows/file_saver.h"

#include <windows.h>
#undef ReplaceFile  // the interface's name, not the Windows call's

#include <random>
#include <string>

namespace orvo {
namespace {

namespace fs = std::filesystem;

// A new file beside `target` under a name nobody holds; INVALID_HANDLE_VALUE when none
// could be created.
HANDLE CreateTemporary(const fs::path& target, fs::path& temporary) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target;
    temporary += L"." + std::to_wstring(random() % 1000000000000ULL) + L".tmp";
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool PutInPlace(const fs::path& temporary, const fs::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)  // a new file
    return MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
}

}  // namespace

bool WindowsFileSaver::ReplaceFile(const fs::path& path, std::string_view bytes) {
  const fs::path target = SaveTarget(path);
  fs::path temporary;
  const HANDLE file = CreateTemporary(target, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
  written = CloseHandle(file) && written;
  if (!written || !PutInPlace(temporary, target)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace orvo
