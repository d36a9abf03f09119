#pragma once
// What orvo.exe does before its front end starts, with either front end (the Win32 one or
// Qt's): the arguments read as UTF-8, --help, --version and --list-keysets answered, the
// one-driver lock taken, and the system timer made fine for the run.
#include <memory>
#include <optional>

#include "app/command_line.h"
#include "os/windows/single_instance.h"

namespace orvo {

class WindowsDriverPlatform;

// The system timer at 1 ms while the driver runs: the link's pacing waits and the focus
// finder's sleeps are otherwise rounded up to the default tick of about 15.6 ms.
class FineTimer {
 public:
  FineTimer();
  ~FineTimer();
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

 private:
  bool raised_;
};

struct ProgramStart {
  std::optional<int> exitCode;  // set: the program ends with it now
  Options options;
  std::unique_ptr<WindowsSingleInstance> instance;  // held for the run
  std::unique_ptr<FineTimer> timer;
};

ProgramStart StartProgram(const CommandLineSystem& system, WindowsDriverPlatform& platform);

}  // namespace orvo
