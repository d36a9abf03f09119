// orvo.exe: the host driver of the Orvo Tablan control surface on Windows, with the
// Win32 tray (or headless, the terminal) as its front end.
#include "app/command_line.h"
#include "app/driver_core.h"
#include "app/win32/console_exit.h"
#include "app/win32/program_start.h"
#include "app/win32/win32_front_end.h"
#include "app/windows_driver_platform.h"

int main() {
  using namespace orvo;
  WindowsDriverPlatform platform;
  const ProgramStart start = StartProgram(WindowsCommandLine(), platform);
  if (start.exitCode) return *start.exitCode;
  const Options& options = start.options;

  int result = 1;
  {
    Win32FrontEnd frontEnd(options.headless);
    DriverCore core(options, platform, frontEnd);
    ConsoleExit consoleExit(frontEnd, [&] { frontEnd.ExitOnSignal(core); });
    const bool started = core.Start();
    if (core.QuitRequested()) {
      result = 0;
    } else if (started) {
      frontEnd.Run();
      result = 0;
    }
    core.Shutdown();
    consoleExit.ShutDown();
  }
  return result;
}
