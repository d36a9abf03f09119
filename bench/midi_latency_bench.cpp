// Latency of a short message to a JACK application, against a plain JACK client, sampled
// alternately in the same run so that both see the same server and load. Needs a JACK
// server (JACK_DEFAULT_SERVER; or PipeWire's, run under pw-jack).
//   BM_ShortMessageToJackApplication: from our output port's send to the application,
//     against the plain path between two test clients.
//   BM_SurfaceByteToJackApplication: from the surface's bytes on a pty to the application,
//     through the whole driver program (headless, a DEFAULT Keyset sending there), against
//     a plain JACK client that reads its own pty and sends what it reads; with 20 Keysets,
//     one application that never runs in the graph, with and without loops, and the
//     server's failed cycles against the idle graph's.
//   BM_ServerRestartToConnected: the server restarted, the driver's ports connected again.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "harness/driver_process.h"
#include "harness/jack_server_process.h"
#include "harness/jack_test_app.h"
#include "harness/temp_dir.h"
#include "os/linux/midi.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

using test::JackTestApp;
using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

// Microseconds from `send` to the arrival of the next message at `receiver`. Each send
// starts at a random point of the server's period: one that followed the last arrival at
// once would always start just after a period began, and wait nearly a whole one.
template <class Send>
double Sample(JackTestApp& receiver, Send send) {
  static std::minstd_rand random(7);
  const double periodUs = 1e6 * jack_get_buffer_size(receiver.Client()) / jack_get_sample_rate(receiver.Client());
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(
      std::uniform_real_distribution<double>(periodUs, 2 * periodUs)(random))));
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
  LinuxMidiOptions options;
  options.api = MidiApiChoice::kJack;
  auto midi = LinuxMidiSystem::Create(options, nullptr);
  if (!sender || !receiver || jack_connect(sender->Client(), sender->OutPort().c_str(), receiver->InPort().c_str())) {
    state.SkipWithError("cannot set up the JACK clients");
    return;
  }
  MidiOutHandle out = kNoMidiHandle;
  if (midi->OutOpenByName(out, receiver->InPort(), "BENCH out", nullptr) != kMidiNoError) {
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

// A plain JACK client in the driver's place: a thread that blocks on its own pty and sends
// each three bytes it reads at the next period.
class PlainPtyClient {
 public:
  explicit PlainPtyClient(JackTestApp& sender) : sender_(sender) {
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
    reader_ = std::thread([this] {
      uint8_t bytes[3];
      std::size_t have = 0;
      while (!stop_) {
        const ssize_t got = read(slave_, bytes + have, sizeof bytes - have);
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
        if (have == sizeof bytes) {
          sender_.Send({bytes[0], bytes[1], bytes[2]});
          have = 0;
        }
      }
    });
  }
  ~PlainPtyClient() {
    stop_ = true;
    if (master_ >= 0) close(master_);  // the reader's read ends
    if (reader_.joinable()) reader_.join();
    if (slave_ >= 0) close(slave_);
  }
  bool Send(const std::vector<uint8_t>& bytes) {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

 private:
  JackTestApp& sender_;
  int master_ = -1, slave_ = -1;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

// Arguments: the Keysets, each with an application of its own (the DEFAULT one's is the
// receiver; with more than one, another is a client that never runs in the graph, so its
// output buffer is never cleared), and whether each Keyset is connected both ways to its
// application (a loop in the graph, as Keysets normally are) or only towards it. Failed
// cycles are the server's xrun reports, against the same graph before the driver starts.
void BM_SurfaceByteToJackApplication(benchmark::State& state) {
  if (std::string why = JackTestApp::SkipReason(); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  const int keysets = static_cast<int>(state.range(0));
  const bool bothWays = state.range(1) != 0;
  auto sender = JackTestApp::Open("bench-pty-sender");
  auto receiver = JackTestApp::Open("bench-pty-receiver");
  if (!sender || !receiver || jack_connect(sender->Client(), sender->OutPort().c_str(), receiver->InPort().c_str())) {
    state.SkipWithError("cannot set up the JACK clients");
    return;
  }
  test::TempDir settings, runtime;
  chmod(runtime.Path().c_str(), 0700);
  const auto keysetFile = [&](const std::string& name, const JackTestApp& app) {
    settings.Write(name + ".orvo", "MidiInPort:" + app.InPort() + "\r\n" +
                                       (bothWays ? "MidiOutPort:" + app.OutPort() + "\r\n" : std::string()));
  };
  keysetFile("DEFAULT", *receiver);
  std::vector<std::unique_ptr<JackTestApp>> others;
  for (int i = 1; i < keysets; ++i) {
    others.push_back(JackTestApp::Open("bench-app-" + std::to_string(i), /*processes=*/i != 1));
    if (!others.back()) {
      state.SkipWithError("cannot open the applications");
      return;
    }
    keysetFile("bench-keyset-" + std::to_string(i), *others.back());
  }
  // The same graph without the driver, before it starts and after it has ended.
  constexpr double kIdleSeconds = 5;
  long idleXruns = 0;
  const auto idle = [&] {
    const long before = receiver->Xruns();
    std::this_thread::sleep_for(std::chrono::duration<double>(kIdleSeconds));
    idleXruns += receiver->Xruns() - before;
  };
  idle();
  auto surfacePtr = std::make_unique<sim::SimSurface>((runtime.Path() / "surface").string());
  sim::SimSurface& surface = *surfacePtr;
  auto driverPtr = std::make_unique<test::DriverProcess>(ORVO_BINARY, std::vector<std::string>{"--headless", "--device", surface.LinkPath(), "--settings-dir", settings.Path().string(),
                              "--midi-api", "jack"},
                             std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.Path().string()});
  PlainPtyClient plain(*sender);
  if (!surface.Plugged() || !driverPtr->WaitForText("Surface connected", std::chrono::seconds(20))) {
    state.SkipWithError("the driver did not connect to the simulated surface");
    return;
  }
  // A fader the DEFAULT Keyset sends on as it is.
  uint8_t value = 0;
  const auto probe = [&] { return std::vector<uint8_t>{0xBF, 0x02, static_cast<uint8_t>(++value & 0x7F)}; };
  if (!receiver->AwaitLink([&] { surface.Send(probe()); }) || !receiver->AwaitLink([&] { plain.Send(probe()); })) {
    state.SkipWithError("no message gets through");
    return;
  }
  surface.ClearReceived();
  std::vector<double> baseline, ours;
  int lost = 0;
  const long xrunsBefore = receiver->Xruns();
  const auto started = Clock::now();
  for (auto _ : state) {
    const double direct = Sample(*receiver, [&] { plain.Send(probe()); });
    const double driven = Sample(*receiver, [&] { surface.Send(probe()); });
    if (bothWays) receiver->Send({0xB0, 0x10, static_cast<uint8_t>(value & 0x7F)});  // a lamp for the surface
    if (direct < 0 || driven < 0) {
      ++lost;
      continue;
    }
    baseline.push_back(direct);
    ours.push_back(driven);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  state.counters["xruns_per_s"] = static_cast<double>(receiver->Xruns() - xrunsBefore) / seconds;
  if (bothWays) state.counters["surface_bytes"] = static_cast<double>(surface.Received().size());
  driverPtr.reset();
  surfacePtr.reset();
  idle();
  state.counters["idle_xruns_per_s"] = static_cast<double>(idleXruns) / (2 * kIdleSeconds);
  state.counters["lost"] = lost;
  if (baseline.empty()) return;
  state.counters["plain_median_us"] = Percentile(baseline, 0.5);
  state.counters["plain_p99_us"] = Percentile(baseline, 0.99);
  state.counters["orvo_median_us"] = Percentile(ours, 0.5);
  state.counters["orvo_p99_us"] = Percentile(ours, 0.99);
}
BENCHMARK(BM_SurfaceByteToJackApplication)
    ->Args({1, 0})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Iterations(2000)
    ->Unit(benchmark::kMillisecond);

// The server restarts (as a patchbay restarts it), the application with it: from the
// server's answering again to the driver's ports connected both ways to the application,
// through the whole driver program. On a server of the bench's own: jackd, or PipeWire
// under pw-jack.
void BM_ServerRestartToConnected(benchmark::State& state) {
  test::JackServerProcess server;
  server.Use();
  if (!server.Start()) {
    state.SkipWithError(server.Why().c_str());
    return;
  }
  const std::string appName = "bench-restart-app";
  test::TempDir settings, runtime;
  chmod(runtime.Path().c_str(), 0700);
  settings.Write("DEFAULT.orvo", "MidiInPort:" + appName + ":MIDI in\r\nMidiOutPort:" + appName + ":MIDI out\r\n");
  sim::SimSurface surface((runtime.Path() / "surface").string());
  test::DriverProcess driver(ORVO_BINARY,
                             {"--headless", "--device", surface.LinkPath(), "--settings-dir", settings.Path().string(),
                              "--midi-api", "jack"},
                             {"XDG_RUNTIME_DIR=" + runtime.Path().string()});
  if (!surface.Plugged() || !driver.WaitForText("Surface connected", std::chrono::seconds(20))) {
    state.SkipWithError("the driver did not connect to the simulated surface");
    return;
  }
  std::vector<double> times;
  int failed = 0;
  for (auto _ : state) {
    server.Stop();
    if (!server.Start()) {
      state.SkipWithError(server.Why().c_str());
      return;
    }
    const auto back = Clock::now();
    auto app = JackTestApp::Open(appName);
    if (!app || !app->WaitForConnections(2, std::chrono::seconds(5))) {
      ++failed;
      continue;
    }
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - back).count());
  }
  state.counters["failed"] = failed;
  if (times.empty()) return;
  state.counters["median_ms"] = Percentile(times, 0.5);
  state.counters["max_ms"] = Percentile(times, 1.0);
}
BENCHMARK(BM_ServerRestartToConnected)->Iterations(8)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvo
