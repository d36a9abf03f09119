// Latency of a short message to a JACK application, against a plain JACK client, sampled
// alternately in the same run so that both see the same server and load. Needs a JACK
// server (JACK_DEFAULT_SERVER; or PipeWire's, run under pw-jack).
//   BM_ShortMessageToJackApplication: from our output port's send to the application,
//     against the plain path between two test clients.
//   BM_SurfaceByteToJackApplication: from the surface's bytes on a pty to the application,
//     through the whole driver program (headless, a DEFAULT Keyset sending there), against
//     a plain JACK client that reads its own pty and sends what it reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "harness/driver_process.h"
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

void BM_SurfaceByteToJackApplication(benchmark::State& state) {
  if (std::string why = JackTestApp::SkipReason(); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto sender = JackTestApp::Open("bench-pty-sender");
  auto receiver = JackTestApp::Open("bench-pty-receiver");
  if (!sender || !receiver || jack_connect(sender->Client(), sender->OutPort().c_str(), receiver->InPort().c_str())) {
    state.SkipWithError("cannot set up the JACK clients");
    return;
  }
  test::TempDir settings, runtime;
  chmod(runtime.Path().c_str(), 0700);
  settings.Write("DEFAULT.orvo", "MidiInPort:" + receiver->InPort() + "\r\n");
  sim::SimSurface surface((runtime.Path() / "surface").string());
  test::DriverProcess driver(ORVO_BINARY,
                             {"--headless", "--device", surface.LinkPath(), "--settings-dir", settings.Path().string(),
                              "--midi-api", "jack"},
                             {"XDG_RUNTIME_DIR=" + runtime.Path().string()});
  PlainPtyClient plain(*sender);
  if (!surface.Plugged() || !driver.WaitForText("Surface connected", std::chrono::seconds(20))) {
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
  std::vector<double> baseline, ours;
  int lost = 0;
  for (auto _ : state) {
    const double direct = Sample(*receiver, [&] { plain.Send(probe()); });
    const double driven = Sample(*receiver, [&] { surface.Send(probe()); });
    if (direct < 0 || driven < 0) {
      ++lost;
      continue;
    }
    baseline.push_back(direct);
    ours.push_back(driven);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the surface's own pace, roughly
  }
  state.counters["lost"] = lost;
  if (baseline.empty()) return;
  state.counters["plain_median_us"] = Percentile(baseline, 0.5);
  state.counters["plain_p99_us"] = Percentile(baseline, 0.99);
  state.counters["orvo_median_us"] = Percentile(ours, 0.5);
  state.counters["orvo_p99_us"] = Percentile(ours, 0.99);
}
BENCHMARK(BM_SurfaceByteToJackApplication)->Iterations(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvo
