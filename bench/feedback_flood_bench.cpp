// An application floods the surface with lamp messages at twice what the line carries,
// with a few other messages among them, while the surface reads a pty at the line's
// 3,840 bytes a second: how long after the application's last message the surface shows
// its final lamp values, what the flood costs in memory, and whether anything but lamp
// values was left out. Argument: the number of lamps the application writes to.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "link/serial_link.h"
#include "midi/midi_ports.h"
#include "os/fake/fake_midi_system.h"
#include "os/fake/queued_main_thread.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_link_hooks.h"
#include "os/fake/recording_messages.h"
#include "os/linux/serial.h"
#include "protocol/device_modes.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr double kLineBytesPerSecond = 3840;
constexpr int kMessagesPerSecond = 2 * 1280;  // twice the line's three-byte messages
constexpr auto kFlood = 5s;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The surface's end of the pty, read no faster than the line carries.
struct SlowSurface {
  struct Chunk {
    Clock::time_point at;
    std::size_t end;  // bytes received up to here
  };
  int master = -1;
  Bytes received;
  std::vector<Chunk> chunks;
  std::atomic<std::size_t> count{0};  // received.size(), for other threads
  std::atomic<bool> stop{false};
  std::atomic<long> peakKb{0};

  void Run() {
    const auto start = Clock::now();
    double allowed = 0;
    uint8_t buffer[4096];
    while (!stop) {
      std::this_thread::sleep_for(5ms);
      const double due = std::chrono::duration<double>(Clock::now() - start).count() * kLineBytesPerSecond;
      const auto want = static_cast<std::size_t>(std::min<double>(due - allowed, sizeof buffer));
      const ssize_t n = want ? read(master, buffer, want) : 0;
      if (n > 0) {
        received.insert(received.end(), buffer, buffer + n);
        chunks.push_back({Clock::now(), received.size()});
        count = received.size();
        allowed += static_cast<double>(n);
      } else {
        allowed = std::max(allowed, due - 64);  // an idle line does not save up for later
      }
      peakKb = std::max(peakKb.load(), ResidentKb());
    }
  }
};

void BM_FeedbackFlood(benchmark::State& state) {
  const int lamps = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char slave[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, slave, sizeof slave) != 0) {
      state.SkipWithError("no pty");
      return;
    }
    orvo::TtyBridge bridge;
    bridge.SetDevicePath(slave);
    orvo::ProtocolState protocol;
    orvo::ManualResetEvent connected;
    orvo::test::RecordingLinkHooks hooks;
    orvo::RecordingMessages messages;
    orvo::SerialLink link{bridge, protocol, connected, hooks, messages, 0ms};
    link.CheckConnection();
    orvo::FakeMidiSystem midi(orvo::FakeMidiSystem::Delivery::kWorkerThread);
    midi.SetInDevices({"app:out"});
    orvo::test::RecordingEditor editor;
    editor.running = false;
    orvo::QueuedMainThread mainThread;
    auto pool = orvo::SysExPool::Create();
    orvo::MidiPorts ports(orvo::MidiServices{midi, messages, link, editor, mainThread, pool.get()});
    orvo::Keyset keyset{"APP"};
    if (!connected.IsSet() || !ports.OpenMidiIn(keyset, 0)) {
      state.SkipWithError("no link or no input port");
      return;
    }

    SlowSurface surface;
    surface.master = master;
    surface.received.reserve(1 << 20);
    surface.chunks.reserve(1 << 16);
    const long before = ResidentKb();
    std::thread reader([&] { surface.Run(); });

    // The application: lamps cycling through `lamps` addresses, every 50th message
    // another control change and every 250th a system-exclusive message.
    std::map<int, uint8_t> finalLamp;
    std::vector<Bytes> others;
    const auto start = Clock::now();
    const long total = kMessagesPerSecond * std::chrono::duration_cast<std::chrono::seconds>(kFlood).count();
    for (long k = 0; k < total; ++k) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(k * 1'000'000 / kMessagesPerSecond));
      const auto seq = static_cast<uint8_t>(k & 0x7F);
      Bytes message;
      if (k % 250 == 249) {
        message = {0xF0, 0x7D, static_cast<uint8_t>((k >> 7) & 0x7F), seq, 0xF7};
      } else if (k % 50 == 49) {
        message = {0xB0, 0x07, seq};
      } else {
        const int slot = static_cast<int>(k % lamps);
        const uint8_t* lamp = &orvo::DarkLampBuffer()[static_cast<std::size_t>(slot) * 3];
        const auto value = static_cast<uint8_t>((k / lamps) & 0x7F);
        message = {lamp[0], lamp[1], value};
        finalLamp[slot] = value;
      }
      if (orvo::LampSlot(message[0], message[1]) < 0 || message.size() != 3) others.push_back(message);
      midi.Receive(keyset.MidiInHandle, message);
    }
    const auto last = Clock::now();
    // Until the line has been quiet for half a second.
    for (std::size_t seen = 0;;) {
      std::this_thread::sleep_for(500ms);
      const std::size_t now = surface.count.load();
      if (now == seen) break;
      seen = now;
    }
    surface.stop = true;
    reader.join();

    // Replay what the surface got: when did its lamps last come to the final values, and
    // did every other message arrive, in order?
    std::map<int, uint8_t> shown;
    std::vector<Bytes> othersSeen;
    Clock::time_point settled{};
    bool matching = false;
    std::size_t at = 0;
    for (const auto& chunk : surface.chunks) {
      while (at < chunk.end) {
        const Bytes& r = surface.received;
        std::size_t size = 3;
        if (r[at] == 0xF0) {
          size = static_cast<std::size_t>(std::find(r.begin() + static_cast<long>(at), r.end(), 0xF7) - r.begin()) - at + 1;
        }
        if (at + size > chunk.end) break;  // the rest comes with the next chunk
        Bytes message(r.begin() + static_cast<long>(at), r.begin() + static_cast<long>(at + size));
        const int slot = size == 3 ? orvo::LampSlot(message[0], message[1]) : -1;
        if (slot >= 0) shown[slot] = message[2]; else othersSeen.push_back(message);
        at += size;
      }
      const bool now = shown == finalLamp;
      if (now && !matching) settled = chunk.at;
      matching = now;
    }
    const auto totals = link.FeedbackTotals();
    state.counters["final_lamps_after_ms"] =
        matching ? std::chrono::duration<double, std::milli>(settled - last).count() : -1;
    state.counters["rss_growth_kb"] = static_cast<double>(surface.peakKb.load() - before);
    state.counters["lamp_values_replaced"] = static_cast<double>(totals.replaced);
    state.counters["messages_dropped"] = static_cast<double>(totals.dropped);
    state.counters["others_sent"] = static_cast<double>(others.size());
    state.counters["others_arrived_in_order"] = othersSeen == others ? 1 : 0;
    state.counters["bytes_received"] = static_cast<double>(surface.received.size());

    ports.CloseMidiIn(keyset);
    link.CloseDevice();
    close(master);
  }
}
BENCHMARK(BM_FeedbackFlood)->Arg(8)->Arg(106)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
