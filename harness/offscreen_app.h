#pragma once
// The one QApplication of a widget test or benchmark, on Qt's offscreen platform.
#include <QApplication>

#include <memory>

namespace orvo::test {

inline std::unique_ptr<QApplication>& OffscreenAppSlot() {
  static std::unique_ptr<QApplication> app;
  return app;
}

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "orvo_widget_test";
  static char* argv[] = {name, nullptr};
  if (!OffscreenAppSlot()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    OffscreenAppSlot() = std::make_unique<QApplication>(argc, argv);
  }
  return *OffscreenAppSlot();
}

}  // namespace orvo::test
