#include "app/gui_thread_calls.h"

#include <QMetaObject>
#include <QThread>

namespace orvo {

void GuiThreadCalls::Post(std::function<void()> fn) {
  if (Closed() || !context_) return;
  QMetaObject::invokeMethod(
      context_.data(),
      [this, fn = std::move(fn)] {
        if (!Closed()) fn();
      },
      Qt::QueuedConnection);
}

bool GuiThreadCalls::CallAndWait(std::function<void()> fn) {
  if (!context_) return false;
  if (QThread::currentThread() == context_->thread()) {
    if (Closed()) return false;
    fn();
    return true;
  }
  auto pending = std::make_shared<Pending>();
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
  }
  QMetaObject::invokeMethod(
      context_.data(),
      [this, pending, fn = std::move(fn)] {
        {
          std::lock_guard lock(mutex_);
          if (pending->abandoned || closed_) return;
        }
        fn();
        {
          std::lock_guard lock(mutex_);
          pending->done = true;
        }
        finished_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return pending->done || closed_; });
  if (!pending->done) pending->abandoned = true;
  return pending->done;
}

void GuiThreadCalls::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  finished_.notify_all();
}

bool GuiThreadCalls::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace orvo
