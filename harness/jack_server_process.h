#pragma once
// A JACK server of the caller's own that it can stop and start again, as a patchbay
// restarts one: jackd under a private name on its dummy driver, or, when the JACK library
// in use is PipeWire's (run under pw-jack), a private PipeWire in a runtime directory of
// its own. Use() points this process's JACK clients at it until the object goes.
#include <dlfcn.h>
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "harness/child_environment.h"

namespace orvo::test {

class JackServerProcess {
 public:
  // True when the JACK library this process uses is PipeWire's.
  static bool PipeWireLibrary() {
    Dl_info info{};
    return dladdr(reinterpret_cast<void*>(&jack_client_open), &info) && info.dli_fname &&
           std::string(info.dli_fname).find("pipewire") != std::string::npos;
  }

  JackServerProcess() : pipeWire_(PipeWireLibrary()) {
    char dir[] = "/tmp/orvo-server-XXXXXX";
    if (mkdtemp(dir)) dir_ = dir;
    name_ = "orvo-restart-" + std::to_string(getpid());
    if (pipeWire_ && !dir_.empty()) {
      std::filesystem::create_directories(dir_ + "/config/pipewire/pipewire.conf.d");
      std::ofstream(dir_ + "/config/pipewire/pipewire.conf.d/orvo-tests.conf")
          << "context.properties = {\n  support.dbus = false\n  default.clock.rate = 48000\n"
             "  default.clock.quantum = 64\n  default.clock.min-quantum = 64\n  default.clock.max-quantum = 64\n}\n";
    }
  }
  ~JackServerProcess() {
    Stop();
    for (auto& [name, value] : saved_) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  bool IsPipeWire() const { return pipeWire_; }
  // Why the server cannot run here, or empty.
  std::string Why() const { return why_; }

  // This process's JACK clients go to this server from now on.
  void Use() {
    const auto set = [&](const char* name, const std::string& value) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      setenv(name, value.c_str(), 1);
    };
    if (pipeWire_) set("PIPEWIRE_RUNTIME_DIR", dir_);
    else set("JACK_DEFAULT_SERVER", name_);
  }

  // Starts it and waits until it listens for clients (Use() first).
  bool Start() {
    if (dir_.empty()) return Fail("no temporary directory");
    std::vector<std::string> args, env;
    if (pipeWire_) {
      args = {"pipewire"};
      env = {"PIPEWIRE_RUNTIME_DIR=" + dir_, "XDG_RUNTIME_DIR=" + dir_, "XDG_CONFIG_HOME=" + dir_ + "/config"};
    } else {
      args = {"jackd", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "128"};
      env = {"JACK_NO_AUDIO_RESERVATION=1"};
    }
    std::vector<std::string> envStrings = MergedEnvironment(env);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      close_range(3, ~0u, 0);
      execvpe(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    if (pid_ < 0) return Fail("cannot start a server");
    for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
         std::chrono::steady_clock::now() < until;) {
      if (Listening()) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return Fail(std::string(args[0]) + " did not start");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Fail(std::string(args[0]) + " does not answer");
  }

  // Stops it and waits until it has ended.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  // Its socket is there. (No client is opened to find out: PipeWire's JACK library is not
  // safe to open clients from two threads at once, and the system under test may be
  // trying to.)
  bool Listening() const {
    const std::string socket = pipeWire_ ? dir_ + "/pipewire-0"
                                         : "/dev/shm/jack_" + name_ + "_" + std::to_string(getuid()) + "_0";
    struct stat info {};
    return stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
  }
  bool Fail(std::string why) {
    why_ = std::move(why);
    return false;
  }

  const bool pipeWire_;
  std::string dir_, name_, why_;
  pid_t pid_ = -1;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace orvo::test
