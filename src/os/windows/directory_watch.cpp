#include "os/windows/directory_watch.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "os/windows/wide_text.h"

namespace orvo {
namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
constexpr std::size_t kBufferWords = 16 * 1024;

}  // namespace

struct WindowsDirectoryWatch::Watch {
  std::filesystem::path directory;
  Changed changed;
  Presence presence;
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED overlapped{};
  std::vector<DWORD> buffer = std::vector<DWORD>(kBufferWords);  // DWORD-aligned, as the changes must be
  std::thread thread;

  Watch() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Watch() {
    if (thread.joinable()) {
      SetEvent(stopEvent);
      thread.join();
    }
    if (handle != INVALID_HANDLE_VALUE) {
      CancelIoEx(handle, &overlapped);
      DWORD ignored = 0;
      GetOverlappedResult(handle, &overlapped, &ignored, TRUE);  // the buffer is free after this
      CloseHandle(handle);
    }
    CloseHandle(overlapped.hEvent);
    CloseHandle(stopEvent);
  }

  // Asks for the next changes.
  bool Request() {
    ResetEvent(overlapped.hEvent);
    return ReadDirectoryChangesW(handle, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), FALSE,
                                 kChanges, nullptr, &overlapped, nullptr);
  }

  // Watch thread.
  void Run() {
    const HANDLE events[2] = {overlapped.hEvent, stopEvent};
    for (;;) {
      if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) return;  // stopping
      DWORD bytes = 0;
      if (!GetOverlappedResult(handle, &overlapped, &bytes, FALSE)) return Gone();
      Report(bytes);
      if (!Request()) return Gone();
    }
  }

  // Watch thread: the directory went, and with it the watch.
  void Gone() {
    if (presence) presence(false);
  }

  void Report(DWORD bytes) {
    if (bytes == 0) {
      // More changed than the buffer held: every file may have.
      std::error_code ec;
      for (std::filesystem::directory_iterator it(directory, ec); !ec && it != std::filesystem::directory_iterator();
           it.increment(ec))
        changed(Narrowed(it->path().filename().wstring()));
      return;
    }
    const auto* base = reinterpret_cast<const BYTE*>(buffer.data());
    std::wstring last;
    for (DWORD offset = 0;;) {
      const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
      std::wstring name(change->FileName, change->FileNameLength / sizeof(wchar_t));
      if (name != last) changed(Narrowed(name));  // a write often comes as several changes
      last = std::move(name);
      if (change->NextEntryOffset == 0) break;
      offset += change->NextEntryOffset;
    }
  }
};

WindowsDirectoryWatch::WindowsDirectoryWatch() = default;
WindowsDirectoryWatch::~WindowsDirectoryWatch() { Stop(); }

bool WindowsDirectoryWatch::Start(const std::filesystem::path& directory, Changed changed, Presence presence) {
  Stop();
  auto watch = std::make_unique<Watch>();
  watch->handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (watch->handle == INVALID_HANDLE_VALUE) return false;
  watch->directory = directory;
  watch->changed = std::move(changed);
  watch->presence = std::move(presence);
  // Watching from here on: a change right after Start is not missed.
  if (!watch->Request()) return false;
  Watch* running = watch.get();
  watch->thread = std::thread([running] { running->Run(); });
  watch_ = std::move(watch);
  return true;
}

void WindowsDirectoryWatch::Stop() { watch_.reset(); }

}  // namespace orvo
