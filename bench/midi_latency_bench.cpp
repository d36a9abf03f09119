// Latency of a short message from our output port to a JACK application, against the
// plain JACK path between two test clients, sampled alternately in the same run so that
// both see the same server and load. Needs a JACK server (JACK_DEFAULT_SERVER).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "harness/jack_test_app.h"
#include "os/linux/midi.h"

namespace orvo {
namespace {

using test::JackTestApp;
using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

// Microseconds from `send` to the arrival of the next message at `receiver`.
template <class Send>
double Sample(JackTestApp& receiver, Send send) {
  receiver.Clear();
  const auto sent = Clock::now();
  send();
  if (!receiver.WaitForArrivals(1, std::chrono::seconds(1))) return -1;
  return std::chrono::duration<double, std::micro>(receiver.Arrivals()[0].at - sent).count();
}

void BM_ShortMessageToJackApplication(benchmark::State& state) {
  if (std::string why = JackTestApp::SkipReason(); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto sender = JackTestApp::Open("bench-sender");
  auto receiver = JackTestApp::Open("bench-receiver");
  RtMidiOptions options;
  options.api = MidiApiChoice::kJack;
  auto midi = RtMidiSystem::Create(options, nullptr);
  if (!sender || !receiver || jack_connect(sender->Client(), sender->OutPort().c_str(), receiver->InPort().c_str())) {
    state.SkipWithError("cannot set up the JACK clients");
    return;
  }
  MidiOutHandle out = kNoMidiHandle;
  const uint32_t count = midi->OutDeviceCount();
  for (uint32_t i = 0; i < count; ++i) {
    std::string name;
    if (midi->OutDeviceName(i, name) == kMidiNoError && name == receiver->InPort()) midi->OutOpen(out, i, nullptr);
  }
  if (out == kNoMidiHandle) {
    state.SkipWithError("cannot open the receiver as an output");
    return;
  }

  if (!receiver->AwaitLink([&] { sender->Send({0xFE}); }) ||
      !receiver->AwaitLink([&] { midi->OutShortMessage(out, 0xFE); })) {
    state.SkipWithError("no message gets through");
    return;
  }
  std::vector<double> baseline, ours;
  int lost = 0;  // dropped by the server in an overrun cycle, on either path
  for (auto _ : state) {
    const double plain = Sample(*receiver, [&] { sender->Send({0x90, 0x40, 0x7F}); });
    const double driver = Sample(*receiver, [&] { midi->OutShortMessage(out, 0x7F4090); });
    if (plain < 0 || driver < 0) {
      ++lost;
      continue;
    }
    baseline.push_back(plain);
    ours.push_back(driver);
  }
  state.counters["lost"] = lost;
  midi->OutClose(out);
  if (baseline.empty()) return;
  const double baseMedian = Percentile(baseline, 0.5), baseP99 = Percentile(baseline, 0.99);
  const double ourMedian = Percentile(ours, 0.5), ourP99 = Percentile(ours, 0.99);
  state.counters["jack_median_us"] = baseMedian;
  state.counters["jack_p99_us"] = baseP99;
  state.counters["orvo_median_us"] = ourMedian;
  state.counters["orvo_p99_us"] = ourP99;
  state.counters["ratio_median"] = ourMedian / baseMedian;
  state.counters["ratio_p99"] = ourP99 / baseP99;
}
BENCHMARK(BM_ShortMessageToJackApplication)->Iterations(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvo
