#pragma once
// Waits for a Wayland compositor to come back after it went away: once started, tries to
// connect again twice a second on a thread of its own, which sleeps between tries (no busy
// loop), until a try succeeds. Started again at the next loss.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvo {

class ReconnectTimer {
 public:
  // `tryOnce` runs on the timer's thread and says whether it connected.
  explicit ReconnectTimer(std::function<bool()> tryOnce);
  ~ReconnectTimer();  // Stop()
  ReconnectTimer(const ReconnectTimer&) = delete;
  ReconnectTimer& operator=(const ReconnectTimer&) = delete;

  // Starts trying; nothing more while it already tries. Any thread, the timer's own too.
  void Start();
  // Stops trying and joins the thread: no try runs after it returns. Not on the timer's thread.
  void Stop();

 private:
  void Loop();  // the timer's thread

  std::function<bool()> tryOnce_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool trying_ = false;
  bool stopped_ = false;
  std::thread thread_;  // started at the first Start()
};

}  // namespace orvo
