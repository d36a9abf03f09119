#pragma once
// Chooses at start how the driver follows the focus and types keystrokes: on X11 through
// the X server; in a Wayland session through the compositor's protocols where it offers
// them, with X11 programs (through XWayland) kept on the X11 route. Says in one line which
// route is in use, and where a window cannot be reached, what does not work there.
#include <functional>
#include <memory>
#include <string>

#include "platform/foreground_query.h"
#include "platform/key_injector.h"

namespace orvo {

class SessionForeground;
class X11Foreground;

struct DesktopRoutes {
  std::unique_ptr<ForegroundQuery> foreground;
  std::unique_ptr<KeyInjector> keys;
  // Why keystrokes are not typed now (at all, or into the focused window while its route
  // is gone); empty: they are. Any thread.
  std::function<std::string()> keysOff;
  std::string startLine;
  // The editor's windows as they come and go, for the focus rules. GUI thread.
  void EditorWindow(unsigned long window, const std::string& title, bool shown);

  X11Foreground* x11 = nullptr;          // the foreground, in an X11 session
  SessionForeground* session = nullptr;  // the foreground, in a Wayland session
};

// From $WAYLAND_DISPLAY and $DISPLAY. `say` tells what changes later (a compositor going
// and coming back), from the routes' own threads.
DesktopRoutes ChooseDesktopRoutes(std::function<void(const std::string&)> say);

}  // namespace orvo
