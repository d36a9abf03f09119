#include "app/desktop_routes.h"

#include <cstdlib>
#include <filesystem>

#include "app/session_foreground.h"
#include "os/wayland/focus.h"
#include "os/wayland/gnome_focus.h"
#include "os/wayland/gnome_keys.h"
#include "os/wayland/keys.h"
#include "os/wayland/kwin_focus.h"
#include "os/wayland/kwin_keys.h"
#include "os/wayland/session_bus.h"
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
                   std::unique_ptr<KeyInjector> wayland, std::function<std::string()> waylandOff)
      : focus_(focus), x11_(std::move(x11)), wayland_(std::move(wayland)), waylandOff_(std::move(waylandOff)) {}

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

  // Why the keys are not typed now into a Wayland window (its compositor gone, no grant).
  // Any thread.
  std::string Off() const {
    if (focus_.Route() == FocusRoute::kX11 || !waylandOff_) return {};
    return waylandOff_();
  }

 private:
  const SessionForeground& focus_;
  std::unique_ptr<XTestInjector> x11_;
  std::unique_ptr<KeyInjector> wayland_;
  std::function<std::string()> waylandOff_;
};

// How a Wayland session's native windows are reached.
struct WaylandSide {
  std::unique_ptr<ForegroundQuery> focus;  // null: not followed
  EditorWindowSet* editorWindows = nullptr;
  std::unique_ptr<KeyInjector> keys;       // null: nothing typed
  std::function<std::string()> keysOff;    // why keys are not typed now; empty: they are
  std::string line;                        // the start line's part
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

// wlroots compositors: the foreign-toplevel and virtual-keyboard protocols, and sway's IPC.
bool WlrootsSide(const std::string& display, std::function<void(const std::string&)> say, WaylandSide* side,
                 std::string* why) {
  auto focus = std::make_unique<WaylandForeground>(nullptr, nullptr, std::move(say));
  if (!focus->Available()) {
    *why = focus->Why();
    return false;
  }
  auto keys = std::make_unique<VirtualKeyboardInjector>();
  if (!keys->Available()) {
    *why = keys->Why();
    return false;
  }
  side->line = "focus and keystrokes through Wayland on " + display +
               (focus->KnowsProcesses() ? " (windows known by their process, through sway's IPC)"
                                        : " (windows known by their app_id, which names their Keyset)");
  side->editorWindows = &focus->EditorWindows();
  side->focus = std::move(focus);
  side->keysOff = [keys = keys.get()] { return keys->Connected() ? std::string() : keys->Why(); };
  side->keys = std::move(keys);
  return true;
}

std::string OwnExecutable() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("orvo") : path.string();
}

// KDE Plasma: a KWin script for the focus, KWin's fake input for the keys.
void KdeSide(const std::string& display, WaylandSide* side) {
  auto focus = std::make_unique<KwinForeground>();
  auto keys = std::make_unique<KwinFakeInputInjector>();
  std::string line = "KDE Plasma route on " + display + ": ";
  if (focus->Available()) {
    line += "focus through a KWin script";
    side->editorWindows = &focus->EditorWindows();
    side->focus = std::move(focus);
  } else {
    line += "the focused Wayland window is not followed (" + focus->Why() + ")";
  }
  if (keys->Available()) {
    line += ", keystrokes through KWin's fake input";
    side->keys = std::move(keys);
  } else {
    line += "; keystrokes are not typed into Wayland windows until KWin grants them: run once  " +
            KdeGrantCommand(OwnExecutable()) + "  and start the driver again";
    side->keysOff = [] { return std::string("KWin has not granted this program fake input"); };
  }
  side->line = line;
}

// GNOME: our shell extension for the focus, Mutter's remote desktop for the keys.
void GnomeSide(const std::string& display, WaylandSide* side) {
  auto focus = std::make_unique<GnomeShellForeground>();
  auto keys = std::make_unique<MutterRemoteDesktopInjector>();
  std::string line = "GNOME route on " + display + ": ";
  if (focus->ExtensionEnabled())
    line += "focus through the GNOME Shell extension " + std::string(kGnomeExtensionUuid);
  else
    line += "the focused Wayland window is not known, the DEFAULT Keyset serves it, until the GNOME Shell extension "
            "is enabled: gnome-extensions enable " + std::string(kGnomeExtensionUuid);
  if (focus->Available()) {
    side->editorWindows = &focus->EditorWindows();
    side->focus = std::move(focus);
  }
  if (keys->Available()) {
    line += "; keystrokes through GNOME's remote desktop";
    side->keys = std::move(keys);
  } else {
    line += "; keystrokes are not typed into Wayland windows: " + keys->Why();
    side->keysOff = [why = keys->Why()] { return why; };
  }
  side->line = line;
}

// The compositor decides: the wlroots protocols offered, else KWin's or Mutter's service
// on the session bus.
WaylandSide ChooseWaylandSide(const std::string& display, std::function<void(const std::string&)> say) {
  WaylandSide side;
  std::string why;
  if (WlrootsSide(display, std::move(say), &side, &why)) return side;
  SessionBus bus;
  if (bus.HasOwner("org.kde.KWin")) {
    KdeSide(display, &side);
  } else if (bus.HasOwner("org.gnome.Mutter.RemoteDesktop")) {
    GnomeSide(display, &side);
  } else {
    side.line = "this Wayland compositor (" + display + ") does not let the driver follow or type into Wayland windows (" +
                why + "): while a Wayland window has the focus, the DEFAULT Keyset is in force and nothing is typed";
  }
  return side;
}

DesktopRoutes WaylandRoutes(std::function<void(const std::string&)> say) {
  DesktopRoutes routes;
  const std::string display = std::getenv("WAYLAND_DISPLAY");
  WaylandSide side = ChooseWaylandSide(display, std::move(say));

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
  routes.startLine = side.line + (x11Focus ? "; X11 programs through XWayland on display " + std::string(std::getenv("DISPLAY"))
                                           : "; no X11 display: X11 programs are not followed");
  const bool waylandKeys = side.keys != nullptr;
  auto session = std::make_unique<SessionForeground>(std::move(x11Focus), std::move(side.focus), side.editorWindows);
  routes.session = session.get();
  auto keys = std::make_unique<FocusedRouteKeys>(*session, std::move(x11Keys), std::move(side.keys), side.keysOff);
  if (!waylandKeys && !routes.session->HasX11())
    routes.keysOff = [off = side.keysOff] {
      return "keystrokes are off: " + (off ? off() : std::string("neither Wayland nor X11 windows can be typed into"));
    };
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
