#pragma once
// Key events sent to a widget as the window system would deliver them, and a window made
// active so that focus changes take effect (Qt's offscreen platform).
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace orvo::test {

// A key press for `widget`: shortcuts first, then the widget, then its parents while
// nobody accepts it. `nativeKeycode` is the window system's key number (X11: evdev + 8).
// True when someone accepted it.
inline bool SendKeyPress(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                         quint32 nativeKeycode = 0) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, nativeKeycode, 0, 0);
  QApplication::sendEvent(widget, &press);
  return press.isAccepted();
}

inline bool SendKeyRelease(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                           quint32 nativeKeycode = 0) {
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, nativeKeycode, 0, 0);
  QApplication::sendEvent(widget, &release);
  return release.isAccepted();
}

inline void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  window.activateWindow();
  QApplication::processEvents();
}

}  // namespace orvo::test
