// orvo.exe: the host driver of the Orvo Tablan control surface on Windows, with the
// Win32 tray (or headless, the terminal) as its front end.
#include <windows.h>
#include <shellapi.h>
#include <timeapi.h>
#undef OpenDesktop  // the platform's call, not the Windows one

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/driver_core.h"
#include "app/keyset_list_command.h"
#include "app/win32/console_exit.h"
#include "app/win32/win32_front_end.h"
#include "app/windows_driver_platform.h"
#include "os/windows/single_instance.h"
#include "os/windows/wide_text.h"
#include "platform/utf8_path.h"

namespace {

// The system timer at 1 ms while the driver runs: the link's pacing waits and the focus
// finder's sleeps are otherwise rounded up to the default tick of about 15.6 ms.
class FineTimer {
 public:
  FineTimer() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FineTimer() {
    if (raised_) timeEndPeriod(1);
  }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;

 private:
  bool raised_;
};

// The arguments as UTF-8: the narrow argv holds them in the ANSI code page.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(orvo::Narrowed(wide[i]));
    LocalFree(wide);
  }
  return args;
}

// Started from Explorer, the program has a console of its own that nobody reads: hidden,
// with the tray as the way in. Started from a console, it keeps it.
void HideOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1)
    if (const HWND console = GetConsoleWindow()) ShowWindow(console, SW_HIDE);
}

}  // namespace

int main() {
  using namespace orvo;
  const ParsedOptions parsed = ParseCommandLine(Arguments(), WindowsCommandLine());
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "orvo: %s\n%s", parsed.error.c_str(), UsageText(WindowsCommandLine()).c_str());
    return 2;
  }
  Options options = parsed.options;
  // One kind of separator in the paths the driver prints ("Z:/keysets" as "Z:\keysets").
  if (!options.settingsDir.empty()) options.settingsDir = Utf8Name(Utf8Path(options.settingsDir).make_preferred());
  if (options.help) {
    std::fputs(UsageText(WindowsCommandLine()).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("Orvo Version 1.0");
    return 0;
  }
  WindowsDriverPlatform platform;
  if (options.listKeysets) return ListKeysets(options, platform);

  WindowsSingleInstance instance;
  if (instance.Result() == WindowsSingleInstance::State::kUnusable) {
    std::fprintf(stderr, "orvo: cannot make sure that only one driver runs: %s.\n", instance.Problem().c_str());
    return 1;
  }
  if (!instance.Acquired()) {
    std::fputs("orvo: the driver is already running. The surface can have only one host; "
               "use the running one (its tray icon) or end it first.\n",
               stderr);
    return 1;
  }
  if (!options.headless) HideOwnConsole();

  const FineTimer timer;
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
