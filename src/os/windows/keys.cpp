#include "os/windows/keys.h"

#include <windows.h>

#include <algorithm>

#include "platform/key_map.h"

namespace orvo {
namespace {

constexpr uint32_t kBatch = 32;

INPUT KeyboardRecord(const KeyboardInput& in) {
  INPUT out{};
  out.type = INPUT_KEYBOARD;
  out.ki.wVk = in.VirtualKey;
  out.ki.wScan = in.ScanCode;
  bool extended = (in.Flags & kKeyEventExtendedKey) != 0;
  if (out.ki.wScan == 0) {
    if (const KeyMapEntry* key = FindKeyByVirtualKey(in.VirtualKey)) {
      out.ki.wScan = key->ScanCode;
      extended = extended || key->Extended;
    }
  }
  out.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | ((in.Flags & kKeyEventKeyUp) ? KEYEVENTF_KEYUP : 0);
  return out;
}

}  // namespace

void SendInputInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  INPUT batch[kBatch];
  for (uint32_t done = 0; done < count;) {
    const uint32_t size = std::min(count - done, kBatch);
    for (uint32_t i = 0; i < size; ++i) batch[i] = KeyboardRecord(inputs[done + i]);
    const UINT sent = ::SendInput(size, batch, sizeof(INPUT));
    if (sent < size) refused_.fetch_add(size - sent, std::memory_order_relaxed);
    done += size;
  }
}

}  // namespace orvo
