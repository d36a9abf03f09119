// The link over a pty with the simulated surface: how long a control event takes from
// the surface's write to the dispatch call, and how much CPU the idle link costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "harness/pty_link_rig.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void BM_SurfaceToDispatchLatency(benchmark::State& state) {
  orvo::test::PtyLinkRig rig;
  rig.link.CheckConnection();
  if (!rig.IsConnected()) {
    state.SkipWithError("the simulated surface did not connect");
    return;
  }
  std::atomic<int64_t> dispatchedAt{0};
  rig.dispatch.onShort = [&](uint32_t) { dispatchedAt.store(Clock::now().time_since_epoch().count()); };

  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(state.max_iterations));
  std::size_t sent = 0;
  for (auto _ : state) {
    const uint8_t value = static_cast<uint8_t>(sent & 0x7F);
    const auto start = Clock::now();
    if (!rig.surface.Send({0xBF, 0x02, value})) {
      state.SkipWithError("the surface could not send");
      break;
    }
    if (!rig.dispatch.WaitForShort(++sent, 2s)) {
      state.SkipWithError("a message did not arrive");
      break;
    }
    const auto at = Clock::time_point(Clock::duration(dispatchedAt.load()));
    micros.push_back(std::chrono::duration<double, std::micro>(at - start).count());
  }
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
  state.counters["messages"] = static_cast<double>(micros.size());
}
BENCHMARK(BM_SurfaceToDispatchLatency)->Iterations(10000)->Unit(benchmark::kMicrosecond);

// A surface connected and silent for 10 s: the CPU time of the read thread and of the
// whole process (bridge watcher, path watcher, surface) in that time.
void BM_IdleLinkCpu(benchmark::State& state) {
  orvo::test::PtyLinkRig rig;
  rig.link.CheckConnection();
  if (!rig.IsConnected()) {
    state.SkipWithError("the simulated surface did not connect");
    return;
  }
  for (auto _ : state) {
    const auto reader = orvo::test::ThreadCpuTime(rig.readThread);
    const auto process = orvo::test::ProcessCpuTime();
    std::this_thread::sleep_for(10s);
    state.counters["reader_cpu_us"] =
        static_cast<double>((orvo::test::ThreadCpuTime(rig.readThread) - reader).count());
    state.counters["process_cpu_us"] = static_cast<double>((orvo::test::ProcessCpuTime() - process).count());
  }
}
BENCHMARK(BM_IdleLinkCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
