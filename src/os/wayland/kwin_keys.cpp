#include "os/wayland/kwin_keys.h"

#include <fake-input-client-protocol.h>
#include <wayland-client.h>

#include "platform/key_map.h"

namespace orvo {
namespace {

constexpr uint32_t kFakeInputVersion = 4;  // keyboard_key came with version 4
constexpr uint16_t kFirstEvdev = 1;        // KWin's keymap is the evdev keyboard's
constexpr uint16_t kLastEvdev = 247;

}  // namespace

KwinFakeInputInjector::KwinFakeInputInjector(const char* displayName) : connection_(displayName) {
  const std::string off = ": the surface's keystrokes are not typed into Wayland windows.";
  if (!connection_.display() || !connection_.why().empty()) {
    why_ = connection_.why() + off;
    return;
  }
  for (const WaylandConnection::Global& global : connection_.globals())
    if (global.interface == org_kde_kwin_fake_input_interface.name && global.version < kFakeInputVersion) {
      why_ = "KWin's fake input is too old to type keys (version " + std::to_string(global.version) + ")" + off;
      return;
    }
  input_ = static_cast<org_kde_kwin_fake_input*>(connection_.Bind(&org_kde_kwin_fake_input_interface, kFakeInputVersion));
  if (!input_) {
    why_ = "KWin does not let this program type keys: its desktop file grant is missing" + off;
    return;
  }
  org_kde_kwin_fake_input_authenticate(input_, "Orvo", "types the keystrokes of the control surface's buttons");
  if (!connection_.RoundTrip() || connection_.Broken()) {
    why_ = "KWin refused fake input" + off;
    return;
  }
  connection_.Watch();
  available_ = true;
}

KwinFakeInputInjector::~KwinFakeInputInjector() {
  {
    std::lock_guard lock(mutex_);
    if (available_ && strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
  }
  connection_.StopWatching();
  if (input_) org_kde_kwin_fake_input_destroy(input_);
  connection_.Flush();
}

void KwinFakeInputInjector::Key(uint16_t evdev, bool down) {
  org_kde_kwin_fake_input_keyboard_key(input_, evdev, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void KwinFakeInputInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!available_ || count == 0 || connection_.Broken()) return;
  if (!strokes_.Plan(inputs, count, kFirstEvdev, kLastEvdev)) return;
  for (const KeyStrokes::Step& step : strokes_.Steps()) {
    Key(step.evdev, step.down);
    strokes_.Typed(step);
  }
  if (strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
  connection_.Flush();
}

std::string KdeGrantCommand(const std::string& executable) {
  return "mkdir -p ~/.local/share/applications && printf '[Desktop Entry]\\nType=Application\\nName=Orvo\\n"
         "NoDisplay=true\\nExec=" + executable + "\\n" + kKdeWaylandGrant +
         "\\n' > ~/.local/share/applications/orvo-local.desktop";
}

}  // namespace orvo
