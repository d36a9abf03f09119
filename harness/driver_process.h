#pragma once
// Runs the orvo program as a child process with its own environment additions, feeds its
// standard input through a pipe (Type, CloseInput), and reads the lines it prints on
// standard output and standard error (each through a pipe).
// Lines are kept; WaitForLine looks at every line from a mark on, so that a test can wait
// for a line whether it came before or after the one it waited for last.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "harness/child_environment.h"

namespace orvo::test {

class DriverProcess {
 public:
  using Clock = std::chrono::steady_clock;
  struct Line {
    bool fromStderr;
    std::string text;
    Clock::time_point at;
  };

  // Starts `program` with `args`; `env` entries ("NAME=value") replace or add to this
  // process's environment.
  DriverProcess(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {}) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = MergedEnvironment(env);
    // Built before fork: the child may only exec.
    std::vector<char*> argv, envp;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      return;
    }
    startedAt_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      dup2(in[0], STDIN_FILENO);
      // Nothing of ours (the simulated surface's pty, JACK sockets) leaks into the program.
      close_range(3, ~0u, 0);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    input_ = in[1];
    fds_[0] = out[0];
    fds_[1] = err[0];
  }

  ~DriverProcess() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    for (int fd : fds_)
      if (fd >= 0) close(fd);
  }
  DriverProcess(const DriverProcess&) = delete;
  DriverProcess& operator=(const DriverProcess&) = delete;

  pid_t Pid() const { return pid_; }
  Clock::time_point StartedAt() const { return startedAt_; }
  std::size_t Mark() const { return lines_.size(); }
  const std::vector<Line>& Lines() const { return lines_; }

  // Waits until a line from index `from` on satisfies `match`; its index, or nothing
  // after `timeout` or when the program has closed both outputs.
  std::optional<std::size_t> WaitForLine(const std::function<bool(const std::string&)>& match,
                                         std::chrono::milliseconds timeout, std::size_t from = 0) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      for (std::size_t i = from; i < lines_.size(); ++i)
        if (match(lines_[i].text)) return i;
      from = std::max(from, lines_.size());
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0 || !ReadSome(left)) return std::nullopt;
    }
  }
  std::optional<std::size_t> WaitForText(const std::string& text, std::chrono::milliseconds timeout,
                                         std::size_t from = 0) {
    return WaitForLine([&](const std::string& line) { return line.find(text) != std::string::npos; }, timeout,
                       from);
  }

  // Sends `signal` and waits for the exit; the wait status, or nothing after `timeout`.
  std::optional<int> SignalAndWait(int signal, std::chrono::milliseconds timeout) {
    if (kill(pid_, signal) != 0) return std::nullopt;
    return WaitForExit(timeout);
  }
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!status_) {
      int status = 0;
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        status_ = status;
        break;
      }
      if (Clock::now() >= deadline) return std::nullopt;
      // Reading the pipes meanwhile keeps the program from blocking on a full one.
      if (!ReadSome(std::chrono::milliseconds(5))) usleep(5000);
    }
    while (ReadSome(std::chrono::milliseconds(0))) {
    }
    return status_;
  }

  // Writes `line` and a line end to the program's standard input.
  void Type(const std::string& line) {
    static const bool sigpipeIgnored = (signal(SIGPIPE, SIG_IGN), true);  // an ended program
    (void)sigpipeIgnored;
    const std::string text = line + "\n";
    if (input_ >= 0) (void)!write(input_, text.data(), text.size());
  }
  // Ends the program's standard input.
  void CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  // Everything printed so far, one line each, for failure messages.
  std::string Transcript() const {
    std::string text;
    for (const auto& line : lines_) text += (line.fromStderr ? "[err] " : "[out] ") + line.text + "\n";
    return text;
  }

 private:
  // Reads what is there within `timeout`; false when nothing came (time-out or both closed).
  bool ReadSome(std::chrono::milliseconds timeout) {
    pollfd polls[2];
    int count = 0;
    int which[2];
    for (int i = 0; i < 2; ++i) {
      if (fds_[i] < 0) continue;
      polls[count] = {fds_[i], POLLIN, 0};
      which[count++] = i;
    }
    if (count == 0) return false;
    if (poll(polls, count, static_cast<int>(timeout.count())) <= 0) return false;
    bool got = false;
    for (int p = 0; p < count; ++p) {
      if (!(polls[p].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const int i = which[p];
      char buffer[4096];
      const ssize_t n = read(fds_[i], buffer, sizeof buffer);
      if (n <= 0) {
        close(fds_[i]);
        fds_[i] = -1;
        if (!pending_[i].empty()) lines_.push_back({i == 1, std::exchange(pending_[i], {}), Clock::now()});
        got = true;
        continue;
      }
      got = true;
      pending_[i].append(buffer, static_cast<std::size_t>(n));
      for (std::size_t end; (end = pending_[i].find('\n')) != std::string::npos; pending_[i].erase(0, end + 1))
        lines_.push_back({i == 1, pending_[i].substr(0, end), Clock::now()});
    }
    return got;
  }

  pid_t pid_ = -1;
  int fds_[2] = {-1, -1};
  int input_ = -1;
  std::string pending_[2];
  std::vector<Line> lines_;
  std::optional<int> status_;
  Clock::time_point startedAt_;
};

}  // namespace orvo::test
