#pragma once
// The keys a call of SendInput presses and releases, in order, as evdev codes, and the
// keys still down between calls. Shared by the keystroke routes, so that each types a
// Keyset's records the same way: a key-up record releases the key its own key-down
// pressed (same virtual key and scan code: the up record does not repeat the extended
// flag, and must not release the keypad twin of an arrow), and nothing stays down.
#include <cstdint>
#include <vector>

#include "platform/key_injector.h"

namespace orvo {

class KeyStrokes {
 public:
  struct Step {
    uint16_t evdev;
    bool down;
    uint16_t virtualKey;
    uint16_t scanCode;
  };

  KeyStrokes();

  // Turns the records into steps before anything is typed; false when a record's key is
  // unknown or outside [firstEvdev, lastEvdev] (the keys the route can type): then
  // nothing of the call is to be typed.
  bool Plan(const KeyboardInput* inputs, uint32_t count, uint16_t firstEvdev, uint16_t lastEvdev);
  const std::vector<Step>& Steps() const { return steps_; }

  // Records a step as typed.
  void Typed(const Step& step);
  // Calls `release(evdev)` for every key still down, the last pressed first, and forgets them.
  template <typename Release>
  void ReleaseAll(Release&& release) {
    for (auto held = held_.rbegin(); held != held_.rend(); ++held) release(held->evdev);
    held_.clear();
  }
  bool AnyDown() const { return !held_.empty(); }

 private:
  std::vector<Step> held_;   // down steps not yet released
  std::vector<Step> steps_;  // reused, so typing allocates nothing once warm
};

}  // namespace orvo
