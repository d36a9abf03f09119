#pragma once
// The whole link over a real pty: the simulated surface on the far side, the tty bridge
// pointed at the surface's symlink (or at a fake sysfs tree), the serial link, and the
// reader on its own read thread. Device-change notifications of the bridge are counted;
// RunChecksUntil plays the main thread, running the connection check for each one.
#include <pthread.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "link/read_loop.h"
#include "link/serial_link.h"
#include "os/fake/recording_link_hooks.h"
#include "os/fake/recording_messages.h"
#include "os/fake/waiting_dispatch.h"
#include "os/linux/serial.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"
#include "sim/sim_surface.h"

namespace orvo::test {

// CPU time of a thread, of the whole process.
inline std::chrono::microseconds ThreadCpuTime(std::thread& thread) {
  clockid_t clock;
  timespec ts{};
  if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 || clock_gettime(clock, &ts) != 0) return {};
  return std::chrono::seconds(ts.tv_sec) + std::chrono::microseconds(ts.tv_nsec / 1000);
}
inline std::chrono::microseconds ProcessCpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto tv = [](const timeval& t) { return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec); };
  return tv(usage.ru_utime) + tv(usage.ru_stime);
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/orvo-link-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class PtyLinkRig {
  // First, so that they outlive the bridge whose threads report changes.
  mutable std::mutex changeMutex_;
  std::condition_variable changeCv_;
  int changes_ = 0;
  int handled_ = 0;

 public:
  // With `options` unset, the bridge opens the surface's symlink for every description;
  // otherwise it discovers ttys in the given (fake) sysfs tree.
  explicit PtyLinkRig(std::optional<TtyBridgeOptions> options = std::nullopt)
      : surface(dir.Path() + "/surface"), bridge(options.value_or(TtyBridgeOptions{})) {
    bridge.SetDeviceChangeCallback([this] {
      {
        std::lock_guard lock(changeMutex_);
        ++changes_;
      }
      changeCv_.notify_all();
    });
    if (!options) bridge.SetDevicePath(surface.DevicePath());
    readThread = std::thread([this] { reader.Run(connected, stop); });
  }
  ~PtyLinkRig() {
    stop = true;
    connected.Interrupt();
    link.Link().WaitOverlapped.Event.Interrupt();
    link.Link().ReadOverlapped.Event.Interrupt();
    readThread.join();
    link.CloseDevice();
  }

  // Plays the main thread: runs the connection check for every device-change notification
  // until `done` holds; false after `timeout`.
  bool RunChecksUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      std::unique_lock lock(changeMutex_);
      if (!changeCv_.wait_until(lock, deadline, [&] { return changes_ > handled_; })) return false;
      handled_ = changes_;
      lock.unlock();
      link.CheckConnection();
    }
    return true;
  }
  bool IsConnected() const { return hooks.ShownState() == ConnectionState::kConnected; }
  bool IsDisconnected() const { return hooks.ShownState() == ConnectionState::kDisconnected; }
  int Changes() const {
    std::lock_guard lock(changeMutex_);
    return changes_;
  }

  TempDir dir;
  sim::SimSurface surface;
  TtyBridge bridge;
  ProtocolState state;
  ManualResetEvent connected;
  RecordingLinkHooks hooks;
  RecordingMessages messages;
  SerialLink link{bridge, state, connected, hooks, messages, std::chrono::milliseconds(0)};
  std::unique_ptr<SysExPool> pool = SysExPool::Create();
  WaitingDispatch dispatch;
  MessageDecoder decoder{state, pool.get(), dispatch, link};
  ReadLoop reader{bridge, link.Link(), decoder};
  std::atomic<bool> stop{false};
  std::thread readThread;
};

}  // namespace orvo::test
