#pragma once
// The surface, simulated on the far side of a pty pair: the host opens the pty's slave as
// it would the bridge's tty. What the surface sends is written to the master; what the
// host sends is read from it by a reader thread, kept, and decoded into lines. "Unplug"
// closes the master, so the host's tty hangs up; "replug" makes a new pty. A symlink at a
// fixed path follows the current slave, so a host pointed at the link finds it again.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/control_table.h"
#include "sim/host_output_decoder.h"

namespace orvo::sim {

class SimSurface {
 public:
  // Plugs in at once. `linkPath` (may be empty) is the symlink kept pointing at the slave.
  explicit SimSurface(std::string linkPath = {});
  ~SimSurface();
  SimSurface(const SimSurface&) = delete;
  SimSurface& operator=(const SimSurface&) = delete;

  bool Plugged() const;
  // Why the last plug-in failed, if it did.
  std::string Error() const;
  std::string SlavePath() const;
  const std::string& LinkPath() const { return linkPath_; }
  // The path a host should open: the link when there is one, else the slave.
  std::string DevicePath() const;

  // Writes all of `bytes` as the surface; false when unplugged or the host does not read.
  bool Send(const std::vector<uint8_t>& bytes);
  bool Unplug();  // false when already unplugged
  bool Replug();  // a new pty; false when already plugged or it failed

  // Called with every decoded line of what the host sends, on the surface's reader thread.
  void SetLineCallback(std::function<void(const std::string&)> callback);
  // Called with the bytes of each read from the host, as they came, on the surface's
  // reader thread. Once either setter returns, the callback it replaced has finished and
  // is not called again, so an owner may clear it and then go away.
  void SetBytesCallback(std::function<void(const std::vector<uint8_t>&)> callback);
  std::vector<uint8_t> Received() const;
  // Waits until at least `count` bytes have been received in all.
  bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
  void ClearReceived();

 private:
  bool PlugIn();
  void ReadLoop(int masterFd, int wakeFd);  // reader thread

  const std::string linkPath_;

  mutable std::mutex mutex_;
  mutable std::condition_variable received_cv_;
  int masterFd_ = -1;
  int slaveFd_ = -1;  // held open so the master never sees the host's close as a hang-up
  int wakeFd_ = -1;
  std::string slavePath_;
  std::string error_;
  std::thread reader_;
  std::vector<uint8_t> received_;
  HostOutputDecoder decoder_;
  // Held while the callbacks run, and taken by their setters (never with mutex_ held).
  std::mutex callbackMutex_;
  std::function<void(const std::string&)> onLine_;
  std::function<void(const std::vector<uint8_t>&)> onBytes_;
};

}  // namespace orvo::sim
