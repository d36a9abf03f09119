#pragma once
// A thread that sleeps in poll() until a file descriptor is readable, then runs a handler.
// No time-outs, no polling loop: it wakes only for the descriptor or for its own stop.
#include <functional>
#include <thread>

namespace orvo {

class FdWatchThread {
 public:
  // `onReadable` runs on the watch thread each time `fd` is readable and must consume
  // what is ready. `fd` stays the caller's; it must outlive this object. An error or
  // hang-up on `fd` ends the watch (what was readable with it is handled first), and then
  // `onEnded` runs once, on the watch thread; not when the watch is stopped.
  FdWatchThread(int fd, std::function<void()> onReadable, std::function<void()> onEnded = {});
  ~FdWatchThread();  // wakes and joins the thread
  FdWatchThread(const FdWatchThread&) = delete;
  FdWatchThread& operator=(const FdWatchThread&) = delete;

  bool Running() const { return wakeFd_ >= 0; }

 private:
  void Loop();  // watch thread

  int fd_;
  int wakeFd_ = -1;
  std::function<void()> onReadable_;
  std::function<void()> onEnded_;
  std::thread thread_;
};

}  // namespace orvo
