// orvo: the host driver of the Orvo Tablan control surface.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/keyset_list_command.h"
#include "app/linux_qt_system.h"
#include "app/quit_on_signal.h"
#include "app/single_instance.h"

int main(int argc, char** argv) {
  using namespace orvo;
  const ParsedOptions parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "orvo: %s\n%s", parsed.error.c_str(), UsageText().c_str());
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::puts("Orvo Version 1.0");
    return 0;
  }
  if (options.listKeysets) {
    LinuxDriverPlatform platform;
    return ListKeysets(options, platform);
  }

  SingleInstance instance;
  if (instance.Result() == SingleInstance::State::kUnusable) {
    std::fprintf(stderr, "orvo: cannot make sure that only one driver runs: %s.\n", instance.Problem().c_str());
    return 1;
  }
  if (!instance.Acquired()) {
    const std::string holder =
        instance.HolderPid() ? " (process " + std::to_string(instance.HolderPid()) + ")" : std::string();
    std::fprintf(stderr,
                 "orvo: the driver is already running%s. The surface can have only one host; "
                 "use the running one (its tray icon) or end it first.\n",
                 holder.c_str());
    return 1;
  }

  // Headless, no display is needed at all.
  std::unique_ptr<QCoreApplication> qt;
  if (options.headless)
    qt = std::make_unique<QCoreApplication>(argc, argv);
  else
    qt = std::make_unique<QApplication>(argc, argv);
  if (!options.headless) QApplication::setQuitOnLastWindowClosed(false);

  int result = 1;
  {
    LinuxQtSystem system;
    Application app(options, system);
    QuitOnSignal quit([&app] { app.ExitOnSignal(); });
    const bool started = app.Start();
    if (app.QuitRequested())
      result = 0;
    else if (started)
      result = qt->exec();
    app.Shutdown();
  }
  return result;
}
