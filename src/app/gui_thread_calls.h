#pragma once
// Calls onto the GUI thread from the engine's threads. A call that waits for the GUI
// thread can be released without running: at exit the GUI thread closes the calls
// before it joins the threads, so no thread stays blocked on a GUI thread that no longer
// runs its event loop.
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace orvo {

class GuiThreadCalls {
 public:
  // `context` lives on the GUI thread; calls run there.
  explicit GuiThreadCalls(QObject* context) : context_(context) {}

  // Any thread. Runs `fn` on the GUI thread later; dropped once closed.
  void Post(std::function<void()> fn);
  // Any thread but the GUI thread (there it runs `fn` at once). Runs `fn` on the GUI
  // thread and waits for it; false when the calls were closed before it ran.
  bool CallAndWait(std::function<void()> fn);
  // GUI thread, at exit: releases every waiting caller; later calls do nothing.
  void Close();
  bool Closed() const;

 private:
  struct Pending {
    bool done = false;
    bool abandoned = false;
  };
  QPointer<QObject> context_;
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  bool closed_ = false;
};

}  // namespace orvo
