#include "app/destroyed_window_filter.h"

#include <QCoreApplication>
#include <xcb/xcb.h>

namespace orvo {

DestroyedWindowFilter::DestroyedWindowFilter(std::function<void(unsigned long)> destroyed)
    : destroyed_(std::move(destroyed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

DestroyedWindowFilter::~DestroyedWindowFilter() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

// Other platforms deliver other events; they pass untouched.
bool DestroyedWindowFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY)
    destroyed_(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
  return false;
}

}  // namespace orvo
