#include "app/gui_thread_calls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <thread>

namespace orvo {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "gui_thread_calls_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

TEST(GuiThreadCalls, RunsOnTheGuiThreadAndWaits) {
  App();
  QObject context;
  GuiThreadCalls calls(&context);
  std::thread::id ranOn;
  bool result = false;
  std::thread worker([&] { result = calls.CallAndWait([&] { ranOn = std::this_thread::get_id(); }); });
  while (ranOn == std::thread::id()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

// At exit the GUI thread stops running its loop: a waiting caller is released unrun.
TEST(GuiThreadCalls, CloseReleasesWaitersWithoutRunningThem) {
  App();
  QObject context;
  GuiThreadCalls calls(&context);
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread worker([&] { result = calls.CallAndWait([&] { ran = true; }) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  calls.Close();
  worker.join();
  QCoreApplication::processEvents();  // the queued call arrives late and does nothing
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(calls.CallAndWait([&] { ran = true; }));
  calls.Post([&] { ran = true; });
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(GuiThreadCalls, PostRunsLaterOnTheGuiThread) {
  App();
  QObject context;
  GuiThreadCalls calls(&context);
  int runs = 0;
  std::thread([&] { calls.Post([&] { ++runs; }); }).join();
  EXPECT_EQ(runs, 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orvo
