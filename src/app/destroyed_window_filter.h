#pragma once
// Tells when one of the program's X11 windows is destroyed from outside (the window
// manager, a kill of the window): Qt keeps such a widget as if it were still on screen.
// GUI thread: the native events are filtered there.
#include <QAbstractNativeEventFilter>
#include <functional>

namespace orvo {

class DestroyedWindowFilter : public QAbstractNativeEventFilter {
 public:
  // `destroyed(window)`: the X11 window id. Installs itself on the application.
  explicit DestroyedWindowFilter(std::function<void(unsigned long)> destroyed);
  ~DestroyedWindowFilter() override;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  std::function<void(unsigned long)> destroyed_;
};

}  // namespace orvo
