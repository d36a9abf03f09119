#pragma once
// Ctrl+C, Ctrl+Break and the console window closed end the program the same orderly way
// as the tray's "&Exit": the console's handler thread only posts the exit to the main
// thread. When the console closes, Windows ends the process as soon as the handler
// returns, so there it waits (up to the few seconds Windows grants) until the main thread
// has shut the driver down.
#include <functional>

#include "platform/main_thread_poster.h"

namespace orvo {

class ConsoleExit {
 public:
  // `exit` runs on the main thread, posted through `poster`. One at a time.
  ConsoleExit(MainThreadPoster& poster, std::function<void()> exit);
  ~ConsoleExit();
  ConsoleExit(const ConsoleExit&) = delete;
  ConsoleExit& operator=(const ConsoleExit&) = delete;

  // Main thread: the driver is shut down; a closing console may end the process now.
  void ShutDown();
};

}  // namespace orvo
