#include "os/x11/x11_connection.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <mutex>

namespace orvo {
namespace {

// Set once, before the first connection is opened, so no Xlib call races with it.
XErrorHandler gPreviousHandler = nullptr;
std::once_flag gInstallOnce;
thread_local X11ErrorTrap* tInnermostTrap = nullptr;

// Errors on a trapped connection are recorded; others go where they went before.
int HandleError(Display* display, XErrorEvent* event) {
  if (X11ErrorTrap* trap = X11ErrorTrap::InnermostFor(display)) {
    trap->Record(event->error_code);
    return 0;
  }
  return gPreviousHandler ? gPreviousHandler(display, event) : 0;
}

}  // namespace

X11Connection::X11Connection(const char* displayName) {
  const char* wanted = displayName ? displayName : std::getenv("DISPLAY");
  if (!wanted || !*wanted) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    why_ = wayland && *wayland
               ? "This Wayland session offers no X11 display (DISPLAY is not set)"
               : "No X11 display (DISPLAY is not set)";
    return;
  }
  name_ = wanted;
  std::call_once(gInstallOnce, [] {
    XInitThreads();
    gPreviousHandler = XSetErrorHandler(&HandleError);
  });
  display_ = XOpenDisplay(wanted);
  if (!display_) why_ = "Cannot open the X11 display \"" + name_ + "\"";
}

X11Connection::~X11Connection() {
  if (!display_) return;
  X11ErrorTrap trap(display_);  // closing syncs: late errors must not end the program
  XCloseDisplay(display_);
}

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display), outer_(tInnermostTrap) {
  tInnermostTrap = this;
}

X11ErrorTrap::~X11ErrorTrap() { tInnermostTrap = outer_; }

int X11ErrorTrap::Error(bool sync) {
  if (sync && display_) XSync(display_, False);
  return error_;
}

X11ErrorTrap* X11ErrorTrap::InnermostFor(Display* display) {
  for (X11ErrorTrap* trap = tInnermostTrap; trap; trap = trap->outer_)
    if (trap->display_ == display) return trap;
  return nullptr;
}

}  // namespace orvo
