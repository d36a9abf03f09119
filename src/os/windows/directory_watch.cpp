#include "os/windows/directory_watch.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "os/windows/wide_text.h"

namespace orvo {
namespace {

constexpr DWORD kFileChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
constexpr std::size_t kBufferWords = 16 * 1024;

// One directory's changes asked for with an overlapped ReadDirectoryChangesW.
struct ChangeRequest {
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
  std::vector<DWORD> buffer;  // DWORD-aligned, as the changes must be

  ChangeRequest(std::size_t words) : buffer(words) { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~ChangeRequest() {
    Close();
    CloseHandle(overlapped.hEvent);
  }
  ChangeRequest(const ChangeRequest&) = delete;
  ChangeRequest& operator=(const ChangeRequest&) = delete;

  bool Open(const std::filesystem::path& directory) {
    handle = CreateFileW(directory.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  }
  bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
  // Asks for the next changes.
  bool Request(DWORD filter) {
    ResetEvent(overlapped.hEvent);
    return ReadDirectoryChangesW(handle, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), FALSE, filter,
                                 nullptr, &overlapped, nullptr);
  }
  bool OpenAndRequest(const std::filesystem::path& directory, DWORD filter) {
    if (Open(directory) && Request(filter)) return true;
    Close();
    return false;
  }
  // False when the directory went with the request; `bytes` 0: more changed than it held.
  bool Result(DWORD& bytes) { return GetOverlappedResult(handle, &overlapped, &bytes, FALSE); }
  void Close() {
    if (handle == INVALID_HANDLE_VALUE) return;
    CancelIoEx(handle, &overlapped);
    DWORD ignored = 0;
    GetOverlappedResult(handle, &overlapped, &ignored, TRUE);  // the buffer is free after this
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  // Every name the completed request holds.
  template <typename Take>
  void ForEachName(DWORD bytes, Take take) const {
    const auto* base = reinterpret_cast<const BYTE*>(buffer.data());
    for (DWORD offset = 0; bytes != 0;) {
      const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
      take(std::wstring_view(change->FileName, change->FileNameLength / sizeof(wchar_t)));
      if (change->NextEntryOffset == 0) break;
      offset += change->NextEntryOffset;
    }
  }
};

bool IsDirectory(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The directory's own watch, and its parent's for the directory's name: the directory
// going does not end every system's watch of it (not under Wine), and its return can only
// be seen from the parent.
struct WindowsDirectoryWatch::Watch {
  std::filesystem::path directory;
  Changed changed;
  Presence presence;
  ChangeRequest files{kBufferWords};
  ChangeRequest parent{1024};
  bool present = true;
  HANDLE stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread;

  ~Watch() {
    if (thread.joinable()) {
      SetEvent(stopEvent);
      thread.join();
    }
    CloseHandle(stopEvent);
  }

  // Watch thread.
  void Run() {
    for (;;) {
      HANDLE events[3] = {stopEvent};
      DWORD count = 1;
      if (files.IsOpen()) events[count++] = files.overlapped.hEvent;
      if (parent.IsOpen()) events[count++] = parent.overlapped.hEvent;
      const DWORD woken = WaitForMultipleObjects(count, events, FALSE, INFINITE);
      if (woken == WAIT_OBJECT_0 || woken >= WAIT_OBJECT_0 + count) return;  // stopping
      const HANDLE event = events[woken - WAIT_OBJECT_0];
      DWORD bytes = 0;
      if (event == files.overlapped.hEvent) {
        if (files.Result(bytes)) {
          Report(bytes);
          if (files.Request(kFileChanges)) continue;
        }
        Gone();
      } else if (!parent.Result(bytes)) {
        parent.Close();  // the parent went too: the directory's own watch goes on alone
      } else {
        bool named = bytes == 0;
        const std::wstring own = directory.filename().wstring();
        parent.ForEachName(bytes, [&](std::wstring_view name) {
          named = named || CompareStringOrdinal(name.data(), static_cast<int>(name.size()), own.data(),
                                                static_cast<int>(own.size()), TRUE) == CSTR_EQUAL;
        });
        if (named) (IsDirectory(directory) ? Returned() : Gone());
        if (!parent.Request(FILE_NOTIFY_CHANGE_DIR_NAME)) parent.Close();
      }
    }
  }

  // Watch thread: the directory went, and with it the watch; said once.
  void Gone() {
    files.Close();
    if (!present) return;
    present = false;
    if (presence) presence(false);
  }

  // Watch thread: the directory is there again: followed again, said once, and every file
  // in it reported, since anything may have changed meanwhile.
  void Returned() {
    if (present || !files.OpenAndRequest(directory, kFileChanges)) return;
    present = true;
    if (presence) presence(true);
    Report(0);
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
    std::wstring last;
    files.ForEachName(bytes, [&](std::wstring_view name) {
      if (name != last) changed(Narrowed(name));  // a write often comes as several changes
      last = name;
    });
  }
};

WindowsDirectoryWatch::WindowsDirectoryWatch() = default;
WindowsDirectoryWatch::~WindowsDirectoryWatch() { Stop(); }

bool WindowsDirectoryWatch::Start(const std::filesystem::path& directory, Changed changed, Presence presence) {
  Stop();
  auto watch = std::make_unique<Watch>();
  watch->directory = directory.has_filename() ? directory : directory.parent_path();
  // Watching from here on: a change right after Start is not missed.
  if (!watch->files.OpenAndRequest(watch->directory, kFileChanges)) return false;
  watch->parent.OpenAndRequest(watch->directory.parent_path(), FILE_NOTIFY_CHANGE_DIR_NAME);
  watch->changed = std::move(changed);
  watch->presence = std::move(presence);
  Watch* running = watch.get();
  watch->thread = std::thread([running] { running->Run(); });
  watch_ = std::move(watch);
  return true;
}

void WindowsDirectoryWatch::Stop() { watch_.reset(); }

}  // namespace orvo
