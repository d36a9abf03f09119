#pragma once
// Counts every operator new of the test program that includes it (once, in one file):
// the allocation tests prove that the hot path allocates nothing. A thread can also be
// armed: what it allocates while armed is counted apart, so that a test can watch a
// thread it does not own (a library's real-time thread) while others allocate freely.
#include <atomic>
#include <cstdlib>
#include <new>

namespace orvo::test {
inline std::atomic<long> g_allocations{0};
inline std::atomic<long> g_armedAllocations{0};
inline thread_local bool t_armed = false;
inline long Allocations() { return g_allocations.load(std::memory_order_relaxed); }
inline long ArmedAllocations() { return g_armedAllocations.load(std::memory_order_relaxed); }
}  // namespace orvo::test

void* operator new(std::size_t size) {
  orvo::test::g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (orvo::test::t_armed) orvo::test::g_armedAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC with the sanitizers takes these for a mismatch with the operator new above.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
