#include "app/win32/console_exit.h"

#include <windows.h>

#include <atomic>

namespace orvo {
namespace {

struct Handler {
  MainThreadPoster* poster = nullptr;
  std::function<void()> exit;
  HANDLE shutDown = nullptr;  // manual-reset: set once the driver is down
};
std::atomic<Handler*> gHandler{nullptr};

// Windows ends a process whose console closes 5 s after the event at most.
constexpr DWORD kCloseWaitMs = 4500;

// The console's own thread, made by Windows for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  Handler* handler = gHandler.load();
  if (!handler) return FALSE;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      handler->poster->Post(handler->exit);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      handler->poster->Post(handler->exit);
      WaitForSingleObject(handler->shutDown, kCloseWaitMs);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

ConsoleExit::ConsoleExit(MainThreadPoster& poster, std::function<void()> exit) {
  auto* handler = new Handler{&poster, std::move(exit), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  gHandler = handler;
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

// The handler stays registered and its record alive: a console event may be under way on
// its own thread until the process ends. Events from now on do nothing more.
ConsoleExit::~ConsoleExit() { ShutDown(); }

void ConsoleExit::ShutDown() {
  if (Handler* handler = gHandler.exchange(nullptr)) SetEvent(handler->shutDown);
}

}  // namespace orvo
