#include "os/x11/keys.h"

#include <X11/extensions/XTest.h>

#include "platform/key_map.h"

namespace orvo {

XTestInjector::XTestInjector(const char* displayName) : connection_(displayName) {
  Display* display = connection_.display();
  if (!display) {
    why_ = connection_.why() + ": the surface's keystrokes are not typed.";
    return;
  }
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
    why_ = "The X11 display \"" + connection_.name() +
           "\" lacks the XTEST extension: the surface's keystrokes are not typed.";
    return;
  }
  XDisplayKeycodes(display, &minKeycode_, &maxKeycode_);
  XTestGrabControl(display, True);  // keep typing while another client grabs the server
  available_ = true;
}

XTestInjector::~XTestInjector() {
  std::lock_guard lock(mutex_);
  if (available_ && strokes_.AnyDown()) {
    X11ErrorTrap trap(connection_.display());
    ReleaseAllHeld();
    XSync(connection_.display(), False);
  }
}

uint32_t XTestInjector::RejectedCalls() const {
  std::lock_guard lock(mutex_);
  return rejectedCalls_;
}

void XTestInjector::ReleaseAllHeld() {
  strokes_.ReleaseAll([&](uint16_t evdev) {
    XTestFakeKeyEvent(connection_.display(), X11KeycodeFromEvdev(evdev), False, CurrentTime);
  });
}

void XTestInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!available_ || count == 0) return;
  if (!strokes_.Plan(inputs, count, EvdevFromX11Keycode(static_cast<uint32_t>(minKeycode_)),
                     EvdevFromX11Keycode(static_cast<uint32_t>(maxKeycode_)))) {
    ++rejectedCalls_;
    return;
  }
  X11ErrorTrap trap(connection_.display());
  for (const KeyStrokes::Step& step : strokes_.Steps()) {
    XTestFakeKeyEvent(connection_.display(), X11KeycodeFromEvdev(step.evdev), step.down ? True : False, CurrentTime);
    strokes_.Typed(step);
  }
  if (strokes_.AnyDown()) ReleaseAllHeld();
  XFlush(connection_.display());
}

}  // namespace orvo
