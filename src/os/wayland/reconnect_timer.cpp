#include "os/wayland/reconnect_timer.h"

#include <chrono>

namespace orvo {
namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(500);

}  // namespace

ReconnectTimer::ReconnectTimer(std::function<bool()> tryOnce) : tryOnce_(std::move(tryOnce)) {}

ReconnectTimer::~ReconnectTimer() { Stop(); }

void ReconnectTimer::Start() {
  std::lock_guard lock(mutex_);
  if (stopped_ || trying_) return;
  trying_ = true;
  if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  wake_.notify_all();
}

void ReconnectTimer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void ReconnectTimer::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopped_ || trying_; });
    if (stopped_) return;
    // The compositor that just went needs a moment before another can take its name.
    if (wake_.wait_for(lock, kRetryInterval, [&] { return stopped_; })) return;
    trying_ = false;  // a loss told during the try starts the next one
    lock.unlock();
    const bool connected = tryOnce_();
    lock.lock();
    if (!connected) trying_ = true;
  }
}

}  // namespace orvo
