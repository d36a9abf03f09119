// Following the focus on X11: the cost of one poll (X round trips, no process scans) and
// the time from a focus change to the new focus record, with the real 500 ms interval.
// Needs an X server with a window manager (DISPLAY); skipped without one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "harness/focus_client_process.h"
#include "mapping/focus_finder.h"
#include "mapping/keyset.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_messages.h"
#include "os/x11/focus.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool HaveDisplay(benchmark::State& state) {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return true;
  state.SkipWithError("DISPLAY is not set: needs an X server");
  return false;
}

bool FocusedOn(X11Foreground& query, pid_t pid) {
  for (auto deadline = Clock::now() + 5s; Clock::now() < deadline; std::this_thread::sleep_for(10ms))
    if (query.Foreground().processId == static_cast<uint32_t>(pid)) return true;
  return false;
}

// The platform part of one poll: the focused window, its process, its executable name.
void BM_ForegroundQuery(benchmark::State& state) {
  if (!HaveDisplay(state)) return;
  X11Foreground query;
  test::FocusClientProcess client("sequencer", "bench");
  if (!client.WaitReady() || !FocusedOn(query, client.Pid())) return state.SkipWithError("no focus");
  const unsigned long requestsBefore = query.RequestsSent();
  for (auto _ : state) {
    const ForegroundWindow window = query.Foreground();
    benchmark::DoNotOptimize(query.ProcessBaseName(window.processId));
  }
  state.counters["x_requests_per_poll"] =
      static_cast<double>(query.RequestsSent() - requestsBefore) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ForegroundQuery)->Unit(benchmark::kMicrosecond);

struct Rig {
  Rig() {
    defaultKeyset = Add("DEFAULT", kModeStandard);
    engine.Mapper.SetDefaultKeyset(defaultKeyset);
    sequencer = Add("SEQUENCER", kModeKelo);
    other = Add("MIXER", kModeStandard);
    engine.Protocol.CurrentDeviceMode = kModeStandard;
    engine.FocusState.CreateFocusState();
    editor.running = false;
  }
  Keyset* Add(const char* name, int32_t mode) {
    Keyset* keyset = engine.Mapper.FindOrCreate(name, true);
    keyset->DeviceMode = mode;
    return keyset;
  }
  FocusFinderServices Services(std::chrono::milliseconds interval) {
    return FocusFinderServices{foreground, engine, device, messages, editor, [](const std::string&) {}, interval};
  }
  FocusSnapshot Recorded() const { return engine.FocusState.Current()->Peek(); }
  X11Foreground foreground;
  EngineContext engine{static_cast<uint32_t>(getpid())};
  test::RecordingDevice device;
  RecordingMessages messages;
  test::RecordingEditor editor;
  Keyset* defaultKeyset;
  Keyset* sequencer;
  Keyset* other;
};

// A whole poll in which nothing changed: what the focus finder costs every 500 ms.
void BM_FocusPollUnchanged(benchmark::State& state) {
  if (!HaveDisplay(state)) return;
  Rig rig;
  test::FocusClientProcess client("sequencer", "bench");
  if (!client.WaitReady() || !FocusedOn(rig.foreground, client.Pid())) return state.SkipWithError("no focus");
  FocusFinder finder(rig.Services(kFocusPollInterval));
  finder.PollOnce();
  const unsigned long requestsBefore = rig.foreground.RequestsSent();
  for (auto _ : state) benchmark::DoNotOptimize(finder.PollOnce());
  state.counters["x_requests_per_poll"] =
      static_cast<double>(rig.foreground.RequestsSent() - requestsBefore) / static_cast<double>(state.iterations());
  state.counters["focused_pid_matches"] = rig.Recorded().ProcessId == static_cast<uint32_t>(client.Pid());
}
BENCHMARK(BM_FocusPollUnchanged)->Unit(benchmark::kMicrosecond);

// From the focus request to the record naming the newly focused application, with the
// real interval: the window manager's part plus the wait for the next poll. Reports the
// distribution over alternating focus changes between two applications with Keysets.
void BM_FocusChangeToRecord(benchmark::State& state) {
  if (!HaveDisplay(state)) return;
  Rig rig;
  test::FocusClientProcess sequencer("sequencer", "sequencer");
  test::FocusClientProcess mixer("mixer", "mixer");
  if (!sequencer.WaitReady() || !mixer.WaitReady()) return state.SkipWithError("clients did not start");
  FocusFinder finder(rig.Services(kFocusPollInterval));
  finder.Resume();
  std::vector<double> millis;
  for (auto _ : state) {
    const int samples = static_cast<int>(state.range(0));
    for (int i = 0; i < samples; ++i) {
      test::FocusClientProcess& next = i % 2 == 0 ? sequencer : mixer;
      Keyset* keyset = i % 2 == 0 ? rig.sequencer : rig.other;
      // Let the phase of the poll drift against the changes, as a user's would.
      std::this_thread::sleep_for(std::chrono::milliseconds((i * 211) % 500));
      const Clock::time_point asked = Clock::now();
      next.Send("focus");
      while (rig.Recorded().ActiveKeyset != keyset) {
        if (Clock::now() - asked > 3s) return state.SkipWithError("the record did not follow");
        std::this_thread::sleep_for(200us);
      }
      millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
    }
  }
  finder.Stop();
  std::sort(millis.begin(), millis.end());
  const auto at = [&](double q) { return millis[static_cast<size_t>(q * static_cast<double>(millis.size() - 1))]; };
  state.counters["min_ms"] = millis.front();
  state.counters["p50_ms"] = at(0.5);
  state.counters["p90_ms"] = at(0.9);
  state.counters["max_ms"] = millis.back();
  state.counters["samples"] = static_cast<double>(millis.size());
}
BENCHMARK(BM_FocusChangeToRecord)->Arg(30)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvo
