// The whole driver program (headless, on a simulated surface's pty) as a studio uses it.
// Needs a JACK server for the first (JACK_DEFAULT_SERVER; or PipeWire's, under pw-jack).
//   BM_SysexWhileBankPressed: an application connected both ways to the DEFAULT Keyset
//     sends 20 system-exclusive messages of 200 bytes while the surface presses Bank
//     every few milliseconds: how many reach the surface whole, with nothing inside.
//   BM_KeysetRewrites: a 270-mapping Keyset rewritten 3,000 times by atomic renames, each
//     waited for: the driver's resident memory growth. Then a FIFO, a link to /dev/zero
//     and a 300 MB file appear in the settings directory: whether the driver lives and
//     says what it refused, and how long until a rule changed on disk afterwards is in
//     force.
// ORVO_BENCH_DRIVER names another build of the driver to measure in its place (an older
// one, side by side); ORVO_BENCH_DUMP=1 prints what the surface received and the driver's
// lines.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/driver_process.h"
#include "harness/jack_test_app.h"
#include "harness/temp_dir.h"
#include "protocol/control_table.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return -1;
}

const char* DriverBinary() {
  const char* other = std::getenv("ORVO_BENCH_DRIVER");
  return other && *other ? other : ORVO_BINARY;
}

struct Driver {
  explicit Driver(const test::TempDir& settings, std::vector<std::string> extra = {})
      : surface((runtime.Path() / "surface").string()),
        process(DriverBinary(), Arguments(settings, std::move(extra)), {"XDG_RUNTIME_DIR=" + runtime.Path().string()}) {}
  std::vector<std::string> Arguments(const test::TempDir& settings, std::vector<std::string> extra) {
    chmod(runtime.Path().c_str(), 0700);
    std::vector<std::string> args{"--headless", "--device", (runtime.Path() / "surface").string(), "--settings-dir",
                                  settings.Path().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  bool Connected() { return surface.Plugged() && process.WaitForText("Surface connected", 20s).has_value(); }

  test::TempDir runtime;
  sim::SimSurface surface;
  test::DriverProcess process;
};

Bytes Sysex(int index) {
  Bytes bytes(200, static_cast<uint8_t>(index & 0x7F));
  bytes.front() = 0xF0;
  bytes[1] = 0x7D;
  bytes.back() = 0xF7;
  return bytes;
}

void BM_SysexWhileBankPressed(benchmark::State& state) {
  if (std::string why = test::JackTestApp::SkipReason(); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto app = test::JackTestApp::Open("bench-sysex-app");
  if (!app) {
    state.SkipWithError("cannot open the JACK application");
    return;
  }
  test::TempDir settings;
  settings.Write("DEFAULT.orvo", "MidiInPort:" + app->InPort() + "\r\nMidiOutPort:" + app->OutPort() + "\r\n");
  Driver driver(settings, {"--midi-api", "jack"});
  if (!driver.Connected() || !app->WaitForConnections(2, 10s)) {
    state.SkipWithError("the driver did not connect to the surface and the application");
    return;
  }
  const Bytes probe{0xBD, 0x00, 0x7F};
  bool linked = false;
  for (int i = 0; i < 50 && !linked; ++i) {
    app->Send(probe);
    linked = driver.surface.WaitForReceived(3, 100ms);
  }
  if (!linked) {
    state.SkipWithError("nothing from the application reaches the surface");
    return;
  }
  int whole = 0, sent = 0;
  for (auto _ : state) {
    std::this_thread::sleep_for(100ms);
    driver.surface.ClearReceived();
    std::atomic<bool> pressing{true};
    std::thread bank([&] {
      for (; pressing; std::this_thread::sleep_for(5ms)) driver.surface.Send({0xBE, 0x40, 0x7F});
    });
    for (int i = 0; i < 20; ++i, ++sent) {
      app->Send(Sysex(i));
      std::this_thread::sleep_for(20ms);
    }
    std::this_thread::sleep_for(1500ms);  // the line carries 4,000 bytes in about a second
    pressing = false;
    bank.join();
    std::this_thread::sleep_for(200ms);
    const Bytes received = driver.surface.Received();
    if (std::getenv("ORVO_BENCH_DUMP")) {
      for (std::size_t i = 0; i < received.size() && i < 1200; ++i) std::fprintf(stderr, "%02X%s", received[i], i % 32 == 31 ? "\n" : " ");
      std::fprintf(stderr, "\n%zu bytes\n%s", received.size(), driver.process.Transcript().c_str());
    }
    for (int i = 0; i < 20; ++i) {
      const Bytes message = Sysex(i);
      for (std::size_t at = 0; at + message.size() <= received.size(); ++at)
        if (std::equal(message.begin(), message.end(), received.begin() + static_cast<std::ptrdiff_t>(at))) {
          ++whole;
          break;
        }
    }
  }
  state.counters["sent"] = sent;
  state.counters["whole"] = whole;
}
BENCHMARK(BM_SysexWhileBankPressed)->Iterations(1)->Unit(benchmark::kSecond);

// Every control mapped, a label changed by `round` so that each rewrite is new content.
std::string FullKeyset(int round, const std::string& firstLabel = "x") {
  std::string text;
  for (const ControlDescriptor& row : kControls)
    text += std::to_string(row.id) + ":32:3735552:4:B1:" + std::to_string(round % 100) + ":" + firstLabel + "\r\n";
  return text + "DeviceMode:2\r\n";
}

void Rewrite(const test::TempDir& settings, const std::string& name, const std::string& bytes) {
  test::TempDir::WriteFile(settings.Path() / (name + ".tmp"), bytes);
  std::filesystem::rename(settings.Path() / (name + ".tmp"), settings.Path() / name);
}

void BM_KeysetRewrites(benchmark::State& state) {
  test::TempDir settings;
  settings.Write("SEQ.orvo", FullKeyset(0));
  Driver driver(settings);
  if (!driver.Connected()) {
    state.SkipWithError("the driver did not connect to the simulated surface");
    return;
  }
  auto rewrite = [&](int round) {
    const std::size_t mark = driver.process.Mark();
    Rewrite(settings, "SEQ.orvo", FullKeyset(round, "r" + std::to_string(round)));
    return driver.process.WaitForText("Keyset SEQ read again", 5s, mark).has_value();
  };
  for (int round = 1; round <= 100; ++round) rewrite(round);  // warm up: allocator pools, the line buffers
  const long before = ResidentKb(driver.process.Pid());
  int missed = 0;
  const auto started = Clock::now();
  for (auto _ : state)
    for (int round = 1; round <= 3000; ++round) missed += rewrite(100 + round) ? 0 : 1;
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  const long after = ResidentKb(driver.process.Pid());
  state.counters["rewrites_missed"] = missed;
  state.counters["reload_ms"] = seconds * 1000 / 3000;
  state.counters["rss_before_kb"] = static_cast<double>(before);
  state.counters["rss_growth_kb"] = static_cast<double>(after - before);

  // Odd entries under Keyset names.
  std::size_t mark = driver.process.Mark();
  mkfifo((settings.Path() / "PIPE.orvo").c_str(), 0644);
  std::filesystem::create_symlink("/dev/zero", settings.Path() / "ZERO.orvo");
  {
    const int fd = ::open((settings.Path() / "BIG.orvo").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 300; ++i) (void)!::write(fd, block.data(), block.size());
    ::close(fd);
  }
  int refused = 0;
  for (const char* name : {"PIPE.orvo not read", "ZERO.orvo not read", "BIG.orvo not read"})
    refused += driver.process.WaitForText(name, 5s, mark).has_value() ? 1 : 0;
  state.counters["refused_said"] = refused;
  mark = driver.process.Mark();
  const auto changed = Clock::now();
  Rewrite(settings, "SEQ.orvo", FullKeyset(1, "after"));
  const auto inForce = driver.process.WaitForText("Keyset SEQ read again", 5s, mark);
  state.counters["rule_in_force_ms"] =
      inForce ? std::chrono::duration<double, std::milli>(driver.process.Lines()[*inForce].at - changed).count() : -1;
  state.counters["alive"] = driver.process.WaitForExit(0ms).has_value() ? 0 : 1;
  std::filesystem::remove(settings.Path() / "BIG.orvo");
}
BENCHMARK(BM_KeysetRewrites)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace orvo
