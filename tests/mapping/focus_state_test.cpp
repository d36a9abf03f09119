#include "mapping/focus_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "mapping/keyset.h"

namespace orvo {
namespace {

constexpr uint32_t kOwnProcess = 4242;

TEST(FocusState, AbsentUntilCreatedAndAfterDestroyed) {
  FocusStateHolder holder(kOwnProcess);
  EXPECT_EQ(holder.Current(), nullptr);
  holder.CreateFocusState();
  ASSERT_NE(holder.Current(), nullptr);
  FocusSnapshot now;
  ASSERT_TRUE(holder.Current()->TryRead(now));
  EXPECT_EQ(now.ProcessId, kOwnProcess);
  EXPECT_EQ(now.ThreadId, kOwnerMain);
  EXPECT_EQ(now.ActiveKeyset, nullptr);
  holder.DestroyFocusState();
  EXPECT_EQ(holder.Current(), nullptr);
  holder.DestroyFocusState();  // twice is harmless (disconnection, then shutdown)
}

TEST(FocusState, WriteIsSeenByReadAndPeek) {
  FocusStateHolder holder(kOwnProcess);
  holder.CreateFocusState();
  Keyset keyset("SEQ");
  holder.Current()->Write(77, kOwnerOther, &keyset);
  FocusSnapshot now;
  ASSERT_TRUE(holder.Current()->TryRead(now));
  EXPECT_EQ(now.ProcessId, 77u);
  EXPECT_EQ(now.ActiveKeyset, &keyset);
  EXPECT_EQ(holder.Current()->Peek().ActiveKeyset, &keyset);
}

TEST(FocusState, ReadIsBusyWhileTheFocusFinderHoldsTheLock) {
  FocusStateHolder holder(kOwnProcess);
  holder.CreateFocusState();
  auto record = holder.Current();
  FocusSnapshot now;
  now.ProcessId = 1;
  std::unique_lock finder(record->Lock);
  const bool read = std::async(std::launch::async, [&] { return record->TryRead(now); }).get();
  EXPECT_FALSE(read);
  EXPECT_EQ(now.ProcessId, 1u);  // nothing copied
  finder.unlock();
  EXPECT_TRUE(record->TryRead(now));
}

TEST(FocusState, DestroyLeavesTheRecordToADispatchStillUsingIt) {
  FocusStateHolder holder(kOwnProcess);
  holder.CreateFocusState();
  auto inUse = holder.Current();  // as a dispatch holds it
  holder.DestroyFocusState();     // returns at once
  EXPECT_EQ(holder.Current(), nullptr);
  FocusSnapshot now;
  EXPECT_TRUE(inUse->TryRead(now));  // still alive (AddressSanitizer would object)
  EXPECT_EQ(now.ProcessId, kOwnProcess);
}

// The focus finder writes, a dispatch reads and the main thread connects and disconnects,
// all at once: every read is a consistent triple.
TEST(FocusState, ConcurrentWriteReadCreateDestroy) {
  FocusStateHolder holder(kOwnProcess);
  holder.CreateFocusState();
  Keyset even("EVEN"), odd("ODD");
  std::atomic<bool> done{false};
  std::atomic<long> reads{0};
  std::thread finder([&] {
    for (uint32_t i = 1; !done.load(); ++i)
      if (auto record = holder.Current()) record->Write(i, i, (i % 2) ? &odd : &even);
  });
  std::thread dispatch([&] {
    while (!done.load()) {
      auto record = holder.Current();
      FocusSnapshot now;
      if (!record || !record->TryRead(now)) continue;
      ++reads;
      if (now.ActiveKeyset == nullptr) {
        EXPECT_EQ(now.ProcessId, kOwnProcess);
        continue;
      }
      EXPECT_EQ(now.ProcessId, now.ThreadId);
      EXPECT_EQ(now.ActiveKeyset, (now.ProcessId % 2) ? &odd : &even);
    }
  });
  for (int i = 0; i < 2000 || reads.load() < 1000; ++i) {
    holder.DestroyFocusState();
    holder.CreateFocusState();
  }
  done = true;
  finder.join();
  dispatch.join();
}

}  // namespace
}  // namespace orvo
