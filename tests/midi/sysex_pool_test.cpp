#include "protocol/sysex_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace orvo {
namespace {

TEST(SysExPool, NewPoolHandsOutBuffersInBlockOrder) {
  auto pool = SysExPool::Create();
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Count(), 2000u);
  MidiHeader* first = pool->Take();
  EXPECT_EQ(first, pool->BufferAt(0));
  EXPECT_EQ(pool->Count(), 1999u);
  EXPECT_EQ(first->bufferLength, 16u);
  EXPECT_EQ(first->data, reinterpret_cast<uint8_t*>(first) + sizeof(MidiHeader));
  EXPECT_EQ(first->owner, pool.get());
}

TEST(SysExPool, GiveBackRestoresTheHeaderAndQueuesAtTheBack) {
  auto pool = SysExPool::Create(3, 16);
  MidiHeader* a = pool->Take();
  uint8_t elsewhere[4];
  a->data = elsewhere;
  a->bufferLength = 5;
  a->bytesRecorded = 5;
  a->flags = kMidiHeaderDone | kMidiHeaderPrepared;
  SysExPool::GiveBackToOwner(a);
  EXPECT_EQ(a->data, reinterpret_cast<uint8_t*>(a) + sizeof(MidiHeader));
  EXPECT_EQ(a->bufferLength, 16u);
  EXPECT_EQ(a->flags, 0u);

  EXPECT_EQ(pool->Take(), pool->BufferAt(1));
  EXPECT_EQ(pool->Take(), pool->BufferAt(2));
  EXPECT_EQ(pool->Take(), a);
  EXPECT_EQ(pool->Take(), nullptr);
  EXPECT_EQ(pool->Count(), 0u);
}

TEST(SysExPool, ForeignAndDoubleGiveBacksAreIgnored) {
  auto pool = SysExPool::Create(2, 16);
  auto other = SysExPool::Create(2, 16);
  MidiHeader* mine = pool->Take();
  pool->GiveBack(other->Take());
  EXPECT_EQ(pool->Count(), 1u);
  pool->GiveBack(mine);
  pool->GiveBack(mine);
  EXPECT_EQ(pool->Count(), 2u);
  MidiHeader stray;
  pool->GiveBack(&stray);
  pool->GiveBack(nullptr);
  EXPECT_EQ(pool->Count(), 2u);
}

TEST(SysExPool, BuffersDoNotOverlap) {
  auto pool = SysExPool::Create(4, 16);
  std::vector<MidiHeader*> taken;
  while (MidiHeader* b = pool->Take()) {
    for (int i = 0; i < 16; ++i) b->data[i] = static_cast<uint8_t>(taken.size());
    taken.push_back(b);
  }
  for (std::size_t n = 0; n < taken.size(); ++n) {
    EXPECT_EQ(taken[n]->bufferLength, 16u);  // headers survive the neighbours' data
    for (int i = 0; i < 16; ++i) EXPECT_EQ(taken[n]->data[i], n);
  }
}

// Taken and given back from several threads at once: nothing is lost or doubled.
TEST(SysExPool, SafeFromSeveralThreads) {
  auto pool = SysExPool::Create(64, 16);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        if (MidiHeader* b = pool->Take()) {
          b->data[0] = 0xF0;
          pool->GiveBack(b);
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(pool->Count(), 64u);
  std::vector<MidiHeader*> all;
  while (MidiHeader* b = pool->Take()) all.push_back(b);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
  EXPECT_EQ(all.size(), 64u);
}

TEST(SysExPool, RefusesAnEmptyShape) {
  EXPECT_EQ(SysExPool::Create(0, 16), nullptr);
  EXPECT_EQ(SysExPool::Create(16, 0), nullptr);
  EXPECT_EQ(SysExPool::Create(4, 16, 4), nullptr) << "a reserve as large as the pool";
}

// Input ports stop short of the reserve; the surface's reader may take it all.
TEST(SysExPool, InputPortsLeaveTheReserve) {
  auto pool = SysExPool::Create(5, 16, 2);
  for (int i = 0; i < 3; ++i) EXPECT_NE(pool->TakeLeavingReserve(), nullptr);
  EXPECT_EQ(pool->TakeLeavingReserve(), nullptr);
  EXPECT_EQ(pool->Count(), 2u);
  EXPECT_NE(pool->Take(), nullptr);
  EXPECT_NE(pool->Take(), nullptr);
  EXPECT_EQ(pool->Take(), nullptr);
}

}  // namespace
}  // namespace orvo
