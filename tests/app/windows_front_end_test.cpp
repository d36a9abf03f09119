// The Win32 front end's main thread, under Wine: tasks posted from many threads at once
// all run there, each thread's in its order, and a message box standing on another thread
// does not hold the exit.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/win32/message_boxes.h"
#include "app/win32/message_loop.h"

namespace orvo {
namespace {

TEST(Win32MessageLoop, EveryTaskPostedFromManyThreadsRunsOnTheMainThreadInItsThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 5000;
  MessageLoop loop;
  const DWORD mainThread = GetCurrentThreadId();
  std::vector<int> next(kThreads, 0);
  int run = 0;
  bool inOrder = true;
  bool onMainThread = true;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        loop.Post([&, t, i] {
          onMainThread = onMainThread && GetCurrentThreadId() == mainThread;
          inOrder = inOrder && next[t] == i;
          next[t] = i + 1;
          if (++run == kThreads * kPerThread) loop.Quit();
        });
      }
    });
  }
  loop.Run();
  for (std::thread& poster : posters) poster.join();
  EXPECT_EQ(run, kThreads * kPerThread);
  EXPECT_TRUE(inOrder);
  EXPECT_TRUE(onMainThread);
}

TEST(Win32MessageLoop, ARepeatedTaskRunsUntilTheLoopEnds) {
  MessageLoop loop;
  int runs = 0;
  loop.Repeat(std::chrono::milliseconds(5), [&] {
    if (++runs == 3) loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(runs, 3);
}

TEST(Win32MessageBoxes, EndingTheBoxesClosesOneStandingOnAnotherThread) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no desktop to show a box on";
  MessageBoxes boxes;
  std::atomic<bool> returned{false};
  std::thread thread([&] {
    boxes.ShowMessage("A failure for the test", MessageIcon::kWarning);
    returned = true;
  });
  // Until the box stands.
  for (int i = 0; i < 500 && !FindWindowW(L"#32770", L"Orvo"); ++i) Sleep(10);
  ASSERT_NE(FindWindowW(L"#32770", L"Orvo"), nullptr);
  boxes.EndBoxes();
  for (int i = 0; i < 500 && !returned; ++i) Sleep(10);
  EXPECT_TRUE(returned);
  if (!returned) PostMessageW(FindWindowW(L"#32770", L"Orvo"), WM_COMMAND, IDOK, 0);
  thread.join();
  // From now on texts go to standard error: no box holds the caller.
  boxes.ShowMessage("Another failure", MessageIcon::kWarning);
}

}  // namespace
}  // namespace orvo
