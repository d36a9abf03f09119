#pragma once
// The QApplication of a widget test, on Qt's offscreen platform. Created on first use and
// left alive at exit, so that no input device is torn down after the platform is gone.
#include <QApplication>
#include <QKeyEvent>

// Fontconfig, which Qt loads to measure text, keeps a few blocks until the process ends
// that the leak checker cannot trace back; they are not ours to free.
extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace orvo::test {

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "orvo_widget_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// A key press as the window system delivers it to `widget`: shortcuts first, then the
// widget, then its parents while nobody accepts it. `x11Keycode` is the native key number.
inline bool SendKeyPress(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                         quint32 x11Keycode = 0) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, x11Keycode, 0, 0);
  QApplication::sendEvent(widget, &press);
  return press.isAccepted();
}

inline bool SendKeyRelease(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                           quint32 x11Keycode = 0) {
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, x11Keycode, 0, 0);
  QApplication::sendEvent(widget, &release);
  return release.isAccepted();
}

// Shows `window` and makes it the active window, so that focus changes take effect.
inline void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  window.activateWindow();
  QApplication::processEvents();
}

}  // namespace orvo::test
