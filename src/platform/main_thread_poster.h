#pragma once
// Hands work to the application's main thread: what a MIDI thread must not do itself
// (re-queuing input buffers) runs there later, in the order posted. The application posts
// onto its event loop; tests run the queue by hand.
#include <functional>

namespace orvo {

class MainThreadPoster {
 public:
  virtual ~MainThreadPoster() = default;
  // Any thread; returns at once. `task` runs on the main thread, after earlier posts.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace orvo
