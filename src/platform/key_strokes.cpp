#include "platform/key_strokes.h"

#include <algorithm>

#include "platform/key_map.h"

namespace orvo {

KeyStrokes::KeyStrokes() {
  held_.reserve(8);
  steps_.reserve(8);
}

bool KeyStrokes::Plan(const KeyboardInput* inputs, uint32_t count, uint16_t firstEvdev, uint16_t lastEvdev) {
  steps_.clear();
  const auto pairs = [](const KeyboardInput& input) {
    return [&input](const Step& step) {
      return step.down && step.virtualKey == input.VirtualKey && step.scanCode == input.ScanCode;
    };
  };
  for (uint32_t i = 0; i < count; ++i) {
    const KeyboardInput& input = inputs[i];
    const bool down = (input.Flags & kKeyEventKeyUp) == 0;
    uint16_t evdev = 0;
    if (!down) {
      if (auto step = std::find_if(steps_.rbegin(), steps_.rend(), pairs(input)); step != steps_.rend())
        evdev = step->evdev;
      else if (auto held = std::find_if(held_.begin(), held_.end(), pairs(input)); held != held_.end())
        evdev = held->evdev;
    }
    if (evdev == 0) {
      const KeyMapEntry* key = ResolveKey(input.VirtualKey, input.ScanCode, (input.Flags & kKeyEventExtendedKey) != 0);
      if (!key || key->Evdev < firstEvdev || key->Evdev > lastEvdev) return false;
      evdev = key->Evdev;
    }
    steps_.push_back(Step{evdev, down, input.VirtualKey, input.ScanCode});
  }
  return true;
}

void KeyStrokes::Typed(const Step& step) {
  const auto same = [&](const Step& held) { return held.evdev == step.evdev; };
  if (step.down) {
    if (std::none_of(held_.begin(), held_.end(), same)) held_.push_back(step);
  } else {
    held_.erase(std::remove_if(held_.begin(), held_.end(), same), held_.end());
  }
}

}  // namespace orvo
