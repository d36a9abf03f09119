#include "os/x11/keys.h"

#include <X11/extensions/XTest.h>

#include <algorithm>

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
  held_.reserve(8);
  steps_.reserve(8);
}

XTestInjector::~XTestInjector() {
  std::lock_guard lock(mutex_);
  if (available_ && !held_.empty()) {
    X11ErrorTrap trap(connection_.display());
    ReleaseAllHeld();
    XSync(connection_.display(), False);
  }
}

uint32_t XTestInjector::RejectedCalls() const {
  std::lock_guard lock(mutex_);
  return rejectedCalls_;
}

// Turns the records into keycodes before anything is typed. A key-up record pairs with
// the key its own key-down pressed (same virtual key and scan code): the up record does
// not repeat the extended flag, and must not release the keypad twin of an arrow.
bool XTestInjector::Plan(const KeyboardInput* inputs, uint32_t count) {
  steps_.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const KeyboardInput& input = inputs[i];
    const bool down = (input.Flags & kKeyEventKeyUp) == 0;
    unsigned int keycode = 0;
    if (!down) {
      for (auto step = steps_.rbegin(); step != steps_.rend() && keycode == 0; ++step)
        if (step->down && step->virtualKey == input.VirtualKey && step->scanCode == input.ScanCode)
          keycode = step->keycode;
      for (const Held& held : held_)
        if (keycode == 0 && held.virtualKey == input.VirtualKey && held.scanCode == input.ScanCode)
          keycode = held.keycode;
    }
    if (keycode == 0) {
      const KeyMapEntry* key =
          ResolveKey(input.VirtualKey, input.ScanCode, (input.Flags & kKeyEventExtendedKey) != 0);
      if (!key) return false;
      keycode = X11KeycodeFromEvdev(key->Evdev);
      if (static_cast<int>(keycode) < minKeycode_ || static_cast<int>(keycode) > maxKeycode_) return false;
    }
    steps_.push_back(Step{keycode, down, input.VirtualKey, input.ScanCode});
  }
  return true;
}

void XTestInjector::Press(const Step& step) {
  XTestFakeKeyEvent(connection_.display(), step.keycode, step.down ? True : False, CurrentTime);
  const auto same = [&](const Held& held) { return held.keycode == step.keycode; };
  if (step.down) {
    if (std::none_of(held_.begin(), held_.end(), same))
      held_.push_back(Held{step.virtualKey, step.scanCode, step.keycode});
  } else {
    held_.erase(std::remove_if(held_.begin(), held_.end(), same), held_.end());
  }
}

void XTestInjector::ReleaseAllHeld() {
  for (auto held = held_.rbegin(); held != held_.rend(); ++held)
    XTestFakeKeyEvent(connection_.display(), held->keycode, False, CurrentTime);
  held_.clear();
}

void XTestInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!available_ || count == 0) return;
  if (!Plan(inputs, count)) {
    ++rejectedCalls_;
    return;
  }
  X11ErrorTrap trap(connection_.display());
  for (const Step& step : steps_) Press(step);
  if (!held_.empty()) ReleaseAllHeld();
  XFlush(connection_.display());
}

}  // namespace orvo
