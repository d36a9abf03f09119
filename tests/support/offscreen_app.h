#pragma once
// Ends the widget tests' application after the last test, and a helper that handles the
// next modal dialog of a kind once it is up (for dialogs run with exec()).
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "harness/offscreen_app.h"

namespace orvo::test {

// Ends the application after the last test, while Qt's own statics still live: left to
// the static destructors, the input devices it made would outlive their registry, and
// leaked, the font configuration it loaded would show up as a leak.
class OffscreenAppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { OffscreenAppSlot().reset(); }
};
inline ::testing::Environment* const kOffscreenAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new OffscreenAppEnvironment);

// Calls `handle` with the first modal `Dialog` that comes up while the caller's event
// loop runs; gives up after `timeoutMs`.
template <class Dialog>
void WhenModalShows(std::function<void(Dialog*)> handle, int timeoutMs = 5000) {
  auto* timer = new QTimer();
  auto waited = std::make_shared<int>(0);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, waited, handle, timeoutMs] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (!dialog && (*waited += 10) < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (dialog) handle(dialog);
  });
  timer->start();
}

}  // namespace orvo::test
