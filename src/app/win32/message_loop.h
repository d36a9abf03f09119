#pragma once
// The main thread's event loop of the Win32 front end: a message-only window whose
// messages run the tasks other threads post, in the order posted, and the repeated
// tasks on timers. Made, run and ended on the main thread; Post from any thread.
#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "platform/main_thread_poster.h"

namespace orvo {

class MessageLoop : public MainThreadPoster {
 public:
  MessageLoop();
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  // Any thread; returns at once. Tasks posted once the loop has ended never run.
  void Post(std::function<void()> task) override;
  // Main thread: `task` every `period` while the loop runs.
  void Repeat(std::chrono::milliseconds period, std::function<void()> task);
  // Main thread: runs until Quit; the posted tasks also run in other message loops of
  // the thread (a message box's).
  void Run();
  // Main thread: the loop ends once the current message is handled.
  void Quit();
  // Main thread: runs the tasks posted so far (at exit, or in tests).
  void RunPosted();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  bool wakePending_ = false;  // a wake message is on its way
  bool ended_ = false;
  std::map<UINT_PTR, std::function<void()>> repeated_;  // main thread
};

}  // namespace orvo
