// Start-up time, resident memory and idle CPU of the orvo program, run headless against
// the simulated surface with 20 Keyset files in its settings directory.
//   driver_startup [--runs N] [--idle-seconds S] [--ports]
// With --ports each Keyset names ports on a JACK client of this program ("bench-app"):
// the idle figure is then of the connected, silent driver with 20 Keysets that name
// ports, beside that of a bare JACK MIDI client (jack_midi_dump) in the same time, and
// the JACK clients are listed.
// Start-up is measured three ways: to the first line the program prints, to the moment it
// opens the surface's tty (everything before the connection), and to "Surface connected"
// (which includes the second the link gives a freshly reset bridge to settle).
// Uses the X display and JACK server of the environment when there are any.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/driver_process.h"
#include "harness/jack_test_app.h"
#include "harness/temp_dir.h"
#include "sim/sim_surface.h"

namespace {

using Clock = std::chrono::steady_clock;
using orvo::test::DriverProcess;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A Keyset file of some size: keystrokes on the transport and buttons, faders rewritten.
std::string KeysetText(int index, bool ports) {
  std::string text;
  if (ports) text += "MidiInPort:bench-app:MIDI in\r\nMidiOutPort:bench-app:MIDI out\r\n";
  for (int id = 1000; id < 1016; ++id)
    text += std::to_string(id) + ":" + std::to_string(65 + index % 26) + ":" + std::to_string((0x1E + index) << 16) +
            ":0:0:0:Button " + std::to_string(id) + "\r\n";
  text += "1204:32:3735552:0:0:0:Play\r\n";
  for (int id = 1224; id < 1232; ++id) text += std::to_string(id) + ":::4:B1:0:Fader\r\n";
  text += "DeviceMode:2\r\n";
  return text;
}

// True once `pid` runs `program` (after the exec) and has `target` open; before the exec
// the child still holds this process's descriptors.
bool HasOpen(pid_t pid, const std::string& program, const std::string& target) {
  char exe[512];
  const ssize_t length = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
  if (length <= 0 || std::string(exe, static_cast<std::size_t>(length)) != program) return false;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  while (dirent* entry = readdir(d)) {
    char link[256];
    const ssize_t n = readlink((dir + "/" + entry->d_name).c_str(), link, sizeof link - 1);
    if (n > 0 && std::string(link, static_cast<std::size_t>(n)) == target) {
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

long VmRssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// utime + stime in clock ticks.
long long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {  // field 3 is the state
    if (i == 14) utime = std::stoll(field);
    if (i == 15) {
      stime = std::stoll(field);
      break;
    }
  }
  return utime + stime;
}

struct StartUp {
  double firstLine = -1, ttyOpen = -1, connected = -1;
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 5, idleSeconds = 60;
  bool ports = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--ports")) ports = true;
    else if (i + 1 < argc && !std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[++i]));
    else if (i + 1 < argc && !std::strcmp(argv[i], "--idle-seconds")) idleSeconds = std::max(1, std::atoi(argv[++i]));
  }
  std::unique_ptr<orvo::test::JackTestApp> app;
  std::unique_ptr<DriverProcess> bare;
  if (ports) {
    app = orvo::test::JackTestApp::Open("bench-app");
    if (!app) {
      std::fprintf(stderr, "--ports needs a JACK server\n");
      return 1;
    }
    bare = std::make_unique<DriverProcess>("/usr/bin/jack_midi_dump", std::vector<std::string>{});
  }
  orvo::test::TempDir settings, runtime;
  chmod(runtime.Path().c_str(), 0700);
  for (int i = 1; i <= 20; ++i) settings.Write("APP" + std::to_string(i) + ".orvo", KeysetText(i, ports));
  orvo::sim::SimSurface surface((runtime.Path() / "surface").string());
  if (!surface.Plugged()) {
    std::fprintf(stderr, "the simulated surface did not start: %s\n", surface.Error().c_str());
    return 1;
  }
  const char* display = std::getenv("DISPLAY");
  const char* jack = std::getenv("JACK_DEFAULT_SERVER");
  std::printf("orvo --headless, 20 Keyset files, simulated surface; DISPLAY=%s JACK_DEFAULT_SERVER=%s\n",
              display ? display : "(none)", jack ? jack : "(none)");

  const std::vector<std::string> args{"--headless", "--device", surface.LinkPath(), "--settings-dir",
                                      settings.Path().string()};
  const std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtime.Path().string()};
  char resolved[PATH_MAX];
  const std::string program = realpath(ORVO_BINARY, resolved) ? resolved : ORVO_BINARY;
  std::vector<StartUp> results;
  for (int run = 0; run < runs; ++run) {
    surface.ClearReceived();
    DriverProcess driver(ORVO_BINARY, args, env);
    StartUp r;
    const auto deadline = driver.StartedAt() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
      if (r.ttyOpen < 0 && HasOpen(driver.Pid(), program, surface.SlavePath()))
        r.ttyOpen = Ms(Clock::now() - driver.StartedAt());
      if (driver.WaitForText("Surface connected", std::chrono::milliseconds(2))) break;
    }
    if (!driver.Lines().empty()) r.firstLine = Ms(driver.Lines().front().at - driver.StartedAt());
    if (auto i = driver.WaitForText("Surface connected", std::chrono::milliseconds(0)))
      r.connected = Ms(driver.Lines()[*i].at - driver.StartedAt());
    std::printf("run %d: first line %.1f ms, tty opened %.1f ms, \"Surface connected\" %.1f ms\n", run + 1,
                r.firstLine, r.ttyOpen, r.connected);
    if (r.connected < 0) {
      std::fprintf(stderr, "no connection:\n%s", driver.Transcript().c_str());
      return 1;
    }
    results.push_back(r);

    if (run == runs - 1) {
      // The idle driver: connected, the surface silent, nothing focused that changes.
      std::this_thread::sleep_for(std::chrono::seconds(2));
      std::printf("resident memory after connection: %ld kB\n", VmRssKb(driver.Pid()));
      if (app) {
        // Every JACK client by its ports, and how many of the application's ports are connected.
        std::map<std::string, int> clients;
        const char** names = jack_get_ports(app->Client(), nullptr, nullptr, 0);
        for (const char** name = names; name && *name; ++name) ++clients[std::string(*name).substr(0, std::string(*name).find(':'))];
        if (names) jack_free(names);
        std::printf("JACK clients:");
        for (const auto& [client, count] : clients) std::printf(" %s (%d ports)", client.c_str(), count);
        std::printf("\n");
      }
      const long long before = CpuTicks(driver.Pid());
      const long long bareBefore = bare ? CpuTicks(bare->Pid()) : 0;
      const auto t0 = Clock::now();
      std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
      const long long after = CpuTicks(driver.Pid());
      const long long bareAfter = bare ? CpuTicks(bare->Pid()) : 0;
      const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
      const auto percent = [&](long long ticks) {
        return 100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / wall;
      };
      const double cpuMs = 1000.0 * static_cast<double>(after - before) / static_cast<double>(sysconf(_SC_CLK_TCK));
      std::printf("idle CPU over %.1f s: %.0f ms (%.3f %% of one core); resident memory %ld kB\n", wall, cpuMs,
                  100.0 * cpuMs / (wall * 1000.0), VmRssKb(driver.Pid()));
      if (bare) std::printf("bare jack_midi_dump in the same time: %.3f %% of one core\n", percent(bareAfter - bareBefore));
    }
    const auto t0 = Clock::now();
    const auto status = driver.SignalAndWait(SIGTERM, std::chrono::seconds(10));
    std::printf("run %d: SIGTERM to exit %.1f ms, status %d\n", run + 1, Ms(Clock::now() - t0), status ? *status : -1);
  }

  auto median = [&](double StartUp::*field) {
    std::vector<double> v;
    for (const auto& r : results) v.push_back(r.*field);
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  std::printf("median of %d: first line %.1f ms, tty opened %.1f ms, connected %.1f ms "
              "(connected less the 1000 ms settle: %.1f ms)\n",
              runs, median(&StartUp::firstLine), median(&StartUp::ttyOpen), median(&StartUp::connected),
              median(&StartUp::connected) - 1000.0);
  return 0;
}
