#include "app/desktop_routes.h"

#include <cstdlib>

#include "app/session_foreground.h"
#include "os/wayland/focus.h"
#include "os/wayland/keys.h"
#include "os/x11/focus.h"
#include "os/x11/keys.h"

namespace orvo {
namespace {

// Types nothing: where no route takes keystrokes.
class NoKeys : public KeyInjector {
 public:
  void SendInput(const KeyboardInput*, uint32_t) override {}
};

// Types through the route of the window that has the focus, and nothing while no window
// that a route reaches has it.
class FocusedRouteKeys : public KeyInjector {
 public:
  FocusedRouteKeys(const SessionForeground& focus, std::unique_ptr<XTestInjector> x11,
                   std::unique_ptr<VirtualKeyboardInjector> wayland)
      : focus_(focus), x11_(std::move(x11)), wayland_(std::move(wayland)) {}

  // The read thread.
  void SendInput(const KeyboardInput* inputs, uint32_t count) override {
    switch (focus_.Route()) {
      case FocusRoute::kX11:
        if (x11_) x11_->SendInput(inputs, count);
        break;
      case FocusRoute::kWayland:
        if (wayland_) wayland_->SendInput(inputs, count);
        break;
      case FocusRoute::kNone:
        break;
    }
  }

  // Why the keys are not typed now: the Wayland compositor has gone. Any thread.
  std::string Off() const {
    if (!wayland_ || focus_.Route() == FocusRoute::kX11 || wayland_->Connected()) return {};
    return wayland_->Why();
  }

 private:
  const SessionForeground& focus_;
  std::unique_ptr<XTestInjector> x11_;
  std::unique_ptr<VirtualKeyboardInjector> wayland_;
};

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

DesktopRoutes X11Routes() {
  DesktopRoutes routes;
  auto foreground = std::make_unique<X11Foreground>();
  auto injector = std::make_unique<XTestInjector>();
  routes.x11 = foreground.get();
  // Without a display the focus finder says itself that the focus cannot be followed.
  if (injector->Available()) {
    if (foreground->Available())
      routes.startLine = "focus and keystrokes through X11 on display " + std::string(std::getenv("DISPLAY"));
    routes.keys = std::move(injector);
  } else {
    routes.startLine = "keystrokes are not typed: " + injector->Why();
    routes.keysOff = [off = "keystrokes are off: " + injector->Why()] { return off; };
    routes.keys = std::make_unique<NoKeys>();
  }
  routes.foreground = std::move(foreground);
  return routes;
}

DesktopRoutes WaylandRoutes(std::function<void(const std::string&)> say) {
  DesktopRoutes routes;
  const std::string display = std::getenv("WAYLAND_DISPLAY");
  auto waylandFocus = std::make_unique<WaylandForeground>(nullptr, nullptr, std::move(say));
  auto waylandKeys = std::make_unique<VirtualKeyboardInjector>();
  const bool wayland = waylandFocus->Available() && waylandKeys->Available();
  const bool processes = waylandFocus->KnowsProcesses();
  std::string line;
  if (wayland) {
    line = "focus and keystrokes through Wayland on " + display +
           (processes ? " (windows known by their process, through sway's IPC)"
                      : " (windows known by their app_id, which names their Keyset)");
  } else {
    line = "this Wayland compositor (" + display + ") does not let the driver follow or type into Wayland windows (" +
           (waylandFocus->Available() ? waylandKeys->Why() : waylandFocus->Why()) +
           "): while a Wayland window has the focus, the DEFAULT Keyset is in force and nothing is typed";
    waylandFocus.reset();
    waylandKeys.reset();
  }

  std::unique_ptr<X11Foreground> x11Focus;
  std::unique_ptr<XTestInjector> x11Keys;
  if (Set("DISPLAY")) {
    x11Focus = std::make_unique<X11Foreground>();
    x11Keys = std::make_unique<XTestInjector>();
    if (!x11Focus->Available() || !x11Keys->Available()) {
      x11Focus.reset();
      x11Keys.reset();
    }
  }
  line += x11Focus ? "; X11 programs through XWayland on display " + std::string(std::getenv("DISPLAY"))
                   : "; no X11 display: X11 programs are not followed";
  routes.startLine = line;
  auto session = std::make_unique<SessionForeground>(std::move(x11Focus), std::move(waylandFocus));
  routes.session = session.get();
  auto keys = std::make_unique<FocusedRouteKeys>(*session, std::move(x11Keys), std::move(waylandKeys));
  if (!wayland && !routes.session->HasX11())
    routes.keysOff = [] { return std::string("keystrokes are off: neither Wayland nor X11 windows can be typed into"); };
  else
    routes.keysOff = [keys = keys.get()] { return keys->Off(); };
  routes.keys = std::move(keys);
  routes.foreground = std::move(session);
  return routes;
}

}  // namespace

void DesktopRoutes::EditorWindow(unsigned long window, const std::string& title, bool shown) {
  if (session) session->EditorWindow(window, title, shown);
  if (!x11) return;
  if (shown)
    x11->EditorWindows().Add(window, title);
  else
    x11->EditorWindows().Remove(window);
}

DesktopRoutes ChooseDesktopRoutes(std::function<void(const std::string&)> say) {
  return Set("WAYLAND_DISPLAY") ? WaylandRoutes(std::move(say)) : X11Routes();
}

}  // namespace orvo
