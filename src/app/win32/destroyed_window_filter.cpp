#include "app/destroyed_window_filter.h"

#include <QCoreApplication>

namespace orvo {

// On Windows only the thread that made a window can destroy it: a window of ours is never
// destroyed from outside, and the filter lets every event pass.
DestroyedWindowFilter::DestroyedWindowFilter(std::function<void(unsigned long)> destroyed)
    : destroyed_(std::move(destroyed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

DestroyedWindowFilter::~DestroyedWindowFilter() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool DestroyedWindowFilter::nativeEventFilter(const QByteArray&, void*, qintptr*) { return false; }

}  // namespace orvo
