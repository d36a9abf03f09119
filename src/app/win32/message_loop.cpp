#include "app/win32/message_loop.h"

namespace orvo {
namespace {

constexpr wchar_t kWindowClass[] = L"OrvoMainThreadTasks";
constexpr UINT kRunPosted = WM_APP + 1;

}  // namespace

MessageLoop::MessageLoop() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &MessageLoop::Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
  if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageLoop::~MessageLoop() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  if (window_) DestroyWindow(window_);
}

// One wake message stands for every task queued before it is handled: a burst of posts
// does not fill the thread's message queue.
void MessageLoop::Post(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (ended_) return;
  posted_.push_back(std::move(task));
  if (wakePending_ || !window_) return;
  wakePending_ = PostMessageW(window_, kRunPosted, 0, 0) != FALSE;
}

void MessageLoop::RunPosted() {
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
}

void MessageLoop::Repeat(std::chrono::milliseconds period, std::function<void()> task) {
  if (!window_) return;
  const UINT_PTR id = repeated_.size() + 1;
  repeated_[id] = std::move(task);
  SetTimer(window_, id, static_cast<UINT>(period.count()), nullptr);
}

void MessageLoop::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  std::lock_guard lock(mutex_);
  ended_ = true;
}

void MessageLoop::Quit() { PostQuitMessage(0); }

LRESULT CALLBACK MessageLoop::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MessageLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == kRunPosted) {
    self->RunPosted();
    return 0;
  }
  if (self && message == WM_TIMER) {
    if (const auto it = self->repeated_.find(wParam); it != self->repeated_.end()) it->second();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orvo
