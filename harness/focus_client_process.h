#pragma once
// Runs a test client (the X11 one, or the Wayland one) under a chosen executable name (a
// copy in a temporary directory, so that /proc/<pid>/exe carries that name) and reads the
// lines it prints.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "harness/child_environment.h"

namespace orvo::test {

// What the client prints when Space is typed.
inline const std::vector<std::string> kSpaceTyped{"press keycode=65 keysym=space state=none",
                                                  "release keycode=65 keysym=space state=none"};

// What the client prints when Ctrl+Shift+A is typed as the dispatch types it: the
// modifiers first, the key, then everything released in the reverse order.
inline const std::vector<std::string> kCtrlShiftATyped{
    "press keycode=37 keysym=Control_L state=none",      "press keycode=50 keysym=Shift_L state=Control",
    "press keycode=38 keysym=a state=Shift+Control",     "release keycode=38 keysym=a state=Shift+Control",
    "release keycode=50 keysym=Shift_L state=Shift+Control", "release keycode=37 keysym=Control_L state=Control",
};

// Skips the test when no X display is there to talk to.
#define ORVO_SKIP_WITHOUT_DISPLAY()                                                      \
  do {                                                                                   \
    const char* display_ = std::getenv("DISPLAY");                                      \
    if (!display_ || !*display_) GTEST_SKIP() << "DISPLAY is not set: needs an X server"; \
  } while (0)

class FocusClientProcess {
 public:
  // The program to copy, its arguments, and "NAME=value" additions to the environment.
  struct Program {
    std::string path;
    std::vector<std::string> args;
    std::vector<std::string> env;
  };

  // The X11 client.
  FocusClientProcess(const std::string& executableName, const std::string& title,
                     std::vector<std::string> extraArgs = {})
      : FocusClientProcess(executableName, X11Client(title, std::move(extraArgs))) {}

  FocusClientProcess(const std::string& executableName, Program program) {
    char pattern[] = "/tmp/orvo-focus-XXXXXX";
    if (!mkdtemp(pattern)) return;
    directory_ = pattern;
    path_ = directory_ + "/" + executableName;
    std::filesystem::copy_file(program.path, path_);
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    std::vector<std::string> args{path_};
    args.insert(args.end(), program.args.begin(), program.args.end());
    std::vector<std::string> env = MergedEnvironment(program.env);
    std::vector<char*> argv, envp;  // built before fork: the child may only exec
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], STDIN_FILENO);
      dup2(fromChild[1], STDOUT_FILENO);
      execve(path_.c_str(), argv.data(), envp.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
  }

  ~FocusClientProcess() {
    if (input_ >= 0) close(input_);  // end of input ends the client
    if (pid_ > 0) {
      for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(10000);
      if (kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  pid_t Pid() const { return pid_; }
  unsigned long Window() const { return window_; }

  // Waits for the client's window to be shown (on X11: and focused).
  bool WaitReady(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::string line;
    if (!WaitForLine([](const std::string& l) { return l.rfind("ready ", 0) == 0; }, timeout, &line))
      return false;
    if (const auto at = line.find("window="); at != std::string::npos) window_ = std::stoul(line.substr(at + 7), nullptr, 16);
    return true;
  }

  void Send(const std::string& command) {
    const std::string text = command + "\n";
    [[maybe_unused]] ssize_t written = write(input_, text.data(), text.size());
  }

  // Reads lines until one satisfies `match` (true) or the time is up (false). Lines read
  // on the way are kept in Lines().
  bool WaitForLine(const std::function<bool(const std::string&)>& match,
                   std::chrono::milliseconds timeout, std::string* found = nullptr) {
    for (; checked_ < lines_.size(); ++checked_) {
      if (match(lines_[checked_])) {
        if (found) *found = lines_[checked_];
        ++checked_;
        return true;
      }
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{output_, POLLIN, 0};
      if (poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
      char buffer[512];
      const ssize_t got = read(output_, buffer, sizeof buffer);
      if (got <= 0) return false;
      pending_.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
        lines_.push_back(pending_.substr(0, end));
      for (; checked_ < lines_.size(); ++checked_) {
        if (match(lines_[checked_])) {
          if (found) *found = lines_[checked_];
          ++checked_;
          return true;
        }
      }
    }
    return false;
  }

  // The key lines ("press ..."/"release ...") seen from now on, until `quiet` passes
  // without another line.
  std::vector<std::string> KeyLinesUntilQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(300)) {
    std::vector<std::string> keys;
    while (WaitForLine([](const std::string&) { return true; }, quiet)) {
      const std::string& line = lines_[checked_ - 1];
      if (line.rfind("press ", 0) == 0 || line.rfind("release ", 0) == 0) keys.push_back(line);
    }
    return keys;
  }

  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  static Program X11Client(const std::string& title, std::vector<std::string> extraArgs) {
    Program program{ORVO_FOCUS_CLIENT, {"--title", title}, {}};
    program.args.insert(program.args.end(), extraArgs.begin(), extraArgs.end());
    return program;
  }

  std::string directory_;
  std::string path_;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  unsigned long window_ = 0;
  std::string pending_;
  std::vector<std::string> lines_;
  size_t checked_ = 0;
};

}  // namespace orvo::test
