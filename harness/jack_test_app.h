#pragma once
// A JACK client standing in for a music application: "<name>:MIDI in" receives (what the
// driver sends to the application), "<name>:MIDI out" sends (what the application sends
// to the driver). Arrival times are taken in the process callback, for latency figures.
// The server is the one JACK_DEFAULT_SERVER names; Open() gives nullptr when none answers.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvo::test {

class JackTestApp {
 public:
  using Clock = std::chrono::steady_clock;
  struct Arrival {
    std::vector<uint8_t> bytes;
    Clock::time_point at;
  };

  // Why JACK tests cannot run here, or empty when they can.
  static std::string SkipReason() {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    if (!server || !*server) return "JACK_DEFAULT_SERVER is not set; no JACK server for this test";
    if (!Open("orvo-test-probe")) return std::string("no JACK server \"") + server + "\" answers";
    return {};
  }

  // `processes` false: a client with ports that never runs in the graph (no process
  // callback), so its output buffer is never cleared or written; it sends nothing.
  static std::unique_ptr<JackTestApp> Open(const std::string& name, bool processes = true) {
    auto app = std::unique_ptr<JackTestApp>(new JackTestApp());
    jack_status_t status{};
    app->client_ = jack_client_open(name.c_str(), jack_options_t(JackNoStartServer | JackUseExactName), &status);
    if (!app->client_) return nullptr;
    app->name_ = jack_get_client_name(app->client_);
    app->in_ = jack_port_register(app->client_, "MIDI in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    app->out_ = jack_port_register(app->client_, "MIDI out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (processes) jack_set_process_callback(app->client_, &JackTestApp::Process, app.get());
    jack_set_port_connect_callback(app->client_, &JackTestApp::OnConnect, app.get());
    jack_set_xrun_callback(app->client_, &JackTestApp::OnXrun, app.get());
    if (!app->in_ || !app->out_ || jack_activate(app->client_) != 0) return nullptr;
    return app;
  }

  ~JackTestApp() {
    if (client_) jack_client_close(client_);
  }

  const std::string& Name() const { return name_; }
  std::string InPort() const { return name_ + ":MIDI in"; }
  std::string OutPort() const { return name_ + ":MIDI out"; }
  jack_client_t* Client() const { return client_; }

  // Sent at the next process cycle.
  void Send(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    outgoing_.push_back(std::move(bytes));
  }

  bool WaitForArrivals(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return arrivals_.size() >= count; });
  }
  // Waits until this client's two ports have `count` connections between them.
  bool WaitForConnections(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    std::unique_lock lock(mutex_);
    return connected_.wait_for(lock, timeout, [&] {
      return static_cast<std::size_t>(jack_port_connected(in_) + jack_port_connected(out_)) >= count;
    });
  }
  std::vector<Arrival> Arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
  }
  std::vector<std::vector<uint8_t>> Received() const {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<uint8_t>> out;
    for (const auto& a : arrivals_) out.push_back(a.bytes);
    return out;
  }
  // Sends probes (via `sendProbe`) until one arrives, then forgets them. A new connection
  // may miss its first cycles when the process runs slowly (sanitizer builds).
  template <class SendProbe>
  bool AwaitLink(SendProbe sendProbe) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      sendProbe();
      if (WaitForArrivals(1, std::chrono::milliseconds(100))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // late probes too
        Clear();
        return true;
      }
    }
    return false;
  }
  // Cycles the server reported as failed (xruns) since this client opened.
  long Xruns() const { return xruns_.load(); }
  void Clear() {
    std::lock_guard lock(mutex_);
    arrivals_.clear();
  }

 private:
  JackTestApp() = default;

  // Runs on JACK's process thread. A test client may take a short lock here.
  static int Process(jack_nframes_t frames, void* self) {
    auto* app = static_cast<JackTestApp*>(self);
    const auto now = Clock::now();
    void* in = jack_port_get_buffer(app->in_, frames);
    void* out = jack_port_get_buffer(app->out_, frames);
    jack_midi_clear_buffer(out);
    std::lock_guard lock(app->mutex_);
    const uint32_t events = jack_midi_get_event_count(in);
    for (uint32_t i = 0; i < events; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, in, i) == 0)
        app->arrivals_.push_back({std::vector<uint8_t>(event.buffer, event.buffer + event.size), now});
    }
    for (const auto& bytes : app->outgoing_) jack_midi_event_write(out, 0, bytes.data(), bytes.size());
    app->outgoing_.clear();
    if (events) app->arrived_.notify_all();
    return 0;
  }

  // Runs on JACK's notification thread.
  static void OnConnect(jack_port_id_t, jack_port_id_t, int, void* self) {
    auto* app = static_cast<JackTestApp*>(self);
    std::lock_guard lock(app->mutex_);
    app->connected_.notify_all();
  }

  // Runs on JACK's notification thread.
  static int OnXrun(void* self) {
    static_cast<JackTestApp*>(self)->xruns_.fetch_add(1);
    return 0;
  }

  jack_client_t* client_ = nullptr;
  std::atomic<long> xruns_{0};
  jack_port_t* in_ = nullptr;
  jack_port_t* out_ = nullptr;
  std::string name_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::condition_variable connected_;
  std::vector<Arrival> arrivals_;
  std::vector<std::vector<uint8_t>> outgoing_;
};

}  // namespace orvo::test
