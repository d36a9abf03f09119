#pragma once
// SIGINT, SIGTERM and SIGHUP end the program the same orderly way as "&Exit": the signal handler
// only writes a byte to a pipe, and the main thread, woken by it, ends the event loop.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace orvo {

class QuitOnSignal : public QObject {
  Q_OBJECT
 public:
  // `quit` runs on the main thread when a signal arrives.
  explicit QuitOnSignal(std::function<void()> quit);
  ~QuitOnSignal() override;

 private:
  std::function<void()> quit_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvo
