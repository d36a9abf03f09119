#include "app/win32/program_start.h"

#include <windows.h>
#include <shellapi.h>
#include <timeapi.h>
#undef OpenDesktop  // the platform's call, not the Windows one

#include <cstdio>
#include <string>
#include <vector>

#include "app/keyset_list_command.h"
#include "app/windows_driver_platform.h"
#include "os/windows/wide_text.h"
#include "platform/utf8_path.h"

namespace orvo {
namespace {

// The arguments as UTF-8: the narrow argv holds them in the ANSI code page.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) args.push_back(Narrowed(wide[i]));
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

FineTimer::FineTimer() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimer::~FineTimer() {
  if (raised_) timeEndPeriod(1);
}

ProgramStart StartProgram(const CommandLineSystem& system, WindowsDriverPlatform& platform) {
  ProgramStart start;
  const ParsedOptions parsed = ParseCommandLine(Arguments(), system);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "orvo: %s\n%s", parsed.error.c_str(), UsageText(system).c_str());
    start.exitCode = 2;
    return start;
  }
  Options& options = start.options;
  options = parsed.options;
  // One kind of separator in the paths the driver prints ("Z:/keysets" as "Z:\keysets").
  if (!options.settingsDir.empty()) options.settingsDir = Utf8Name(Utf8Path(options.settingsDir).make_preferred());
  if (options.help) {
    std::fputs(UsageText(system).c_str(), stdout);
    start.exitCode = 0;
    return start;
  }
  if (options.version) {
    std::puts("Orvo Version 1.0");
    start.exitCode = 0;
    return start;
  }
  if (options.listKeysets) {
    start.exitCode = ListKeysets(options, platform);
    return start;
  }

  start.instance = std::make_unique<WindowsSingleInstance>();
  if (start.instance->Result() == WindowsSingleInstance::State::kUnusable) {
    std::fprintf(stderr, "orvo: cannot make sure that only one driver runs: %s.\n", start.instance->Problem().c_str());
    start.exitCode = 1;
    return start;
  }
  if (!start.instance->Acquired()) {
    std::fputs("orvo: the driver is already running. The surface can have only one host; "
               "use the running one (its tray icon) or end it first.\n",
               stderr);
    start.exitCode = 1;
    return start;
  }
  if (!options.headless) HideOwnConsole();
  start.timer = std::make_unique<FineTimer>();
  return start;
}

}  // namespace orvo
