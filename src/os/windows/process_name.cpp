#include "os/windows/process_name.h"

#include <windows.h>

#include "os/windows/wide_text.h"

namespace orvo {

namespace {

// The image path as Windows gives it; empty when the process is gone or may not be asked.
std::wstring ImagePath(uint32_t processId) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD size = MAX_PATH * 4;
  const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  return ok ? std::wstring(path, size) : std::wstring();
}

}  // namespace

std::string ProcessExecutableBaseName(uint32_t processId) {
  const std::wstring path = ImagePath(processId);
  std::wstring_view name(path);
  if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
  return Narrowed(name.substr(0, name.find(L'.')));
}

std::string ProcessImagePath(uint32_t processId) { return Narrowed(ImagePath(processId)); }

}  // namespace orvo
