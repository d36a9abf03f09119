#include "os/windows/focus.h"

#include <windows.h>

#include <condition_variable>
#include <thread>

#include "os/windows/process_name.h"

namespace orvo {

// The hook's own thread: an out-of-context event hook delivers on the thread that set it,
// from its message loop.
struct WindowsForeground::HookThread {
  explicit HookThread(WindowsForeground& owner) {
    thread = std::thread([this, &owner] { Run(owner); });
  }
  ~HookThread() {
    // The thread's message queue exists once its id is known: the quit is not lost.
    std::unique_lock lock(mutex);
    started.wait(lock, [&] { return threadId != 0; });
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    lock.unlock();
    thread.join();
  }

  // The hook's thread.
  void Run(WindowsForeground& owner) {
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
    current = &owner;
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                               &HookThread::Event, 0, 0, WINEVENT_OUTOFCONTEXT);
    {
      std::lock_guard lock(mutex);
      threadId = GetCurrentThreadId();
    }
    started.notify_all();
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (hook) UnhookWinEvent(hook);
  }

  // The hook's thread, from its message loop.
  static void CALLBACK Event(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
    if (!current) return;
    std::lock_guard lock(current->changedMutex_);
    if (current->changed_) current->changed_();
  }

  static thread_local WindowsForeground* current;
  std::mutex mutex;
  std::condition_variable started;
  DWORD threadId = 0;
  std::thread thread;
};

thread_local WindowsForeground* WindowsForeground::HookThread::current = nullptr;

WindowsForeground::WindowsForeground() : ownProcessId_(GetCurrentProcessId()) {}

WindowsForeground::~WindowsForeground() { hook_.reset(); }

bool WindowsForeground::ReportChanges(std::function<void()> changed) {
  {
    std::lock_guard lock(changedMutex_);
    changed_ = std::move(changed);
  }
  if (changed_ && !hook_) {
    try {
      hook_ = std::make_unique<HookThread>(*this);
    } catch (const std::system_error&) {
      // No thread for the hook: the focus finder's poll alone follows the focus.
    }
  }
  return false;
}

bool WindowsForeground::Available() { return true; }

std::string WindowsForeground::Why() { return {}; }

ForegroundWindow WindowsForeground::Foreground() {
  ForegroundWindow result;
  const HWND window = GetForegroundWindow();
  if (!window) return result;
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(window, &processId) || processId == 0) return result;
  result.found = true;
  result.processId = processId;
  if (processId == ownProcessId_) {
    const auto id = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    result.ownerId = editorWindows_.Contains(id) ? kOwnerEditor : kOwnerOther;
  }
  return result;
}

std::string WindowsForeground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

}  // namespace orvo
