// orvo.exe built with Qt on Windows: the tray icon and the editor over the Windows
// platform; --headless as everywhere.
#include <QApplication>
#include <QCoreApplication>
#include <memory>

#include "app/application.h"
#include "app/win32/console_exit.h"
#include "app/win32/program_start.h"
#include "app/windows_qt_system.h"

int main(int argc, char** argv) {
  using namespace orvo;
  WindowsQtSystem system;
  CommandLineSystem commandLine = WindowsCommandLine();
  commandLine.editor = true;
  const ProgramStart start = StartProgram(commandLine, system.Windows());
  if (start.exitCode) return *start.exitCode;
  const Options& options = start.options;

  std::unique_ptr<QCoreApplication> qt;
  if (options.headless)
    qt = std::make_unique<QCoreApplication>(argc, argv);
  else
    qt = std::make_unique<QApplication>(argc, argv);
  if (!options.headless) QApplication::setQuitOnLastWindowClosed(false);

  int result = 1;
  {
    Application app(options, system);
    ConsoleExit consoleExit(app, [&app] { app.ExitOnSignal(); });
    const bool started = app.Start();
    if (app.QuitRequested())
      result = 0;
    else if (started)
      result = qt->exec();
    app.Shutdown();
    consoleExit.ShutDown();
  }
  return result;
}
