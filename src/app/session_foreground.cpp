#include "app/session_foreground.h"

#include "os/linux/process_name.h"
#include "platform/editor_window_set.h"
#include "os/x11/focus.h"

namespace orvo {

SessionForeground::SessionForeground(std::unique_ptr<X11Foreground> x11, std::unique_ptr<ForegroundQuery> wayland,
                                     EditorWindowSet* waylandEditorWindows)
    : x11_(std::move(x11)), wayland_(std::move(wayland)), waylandEditorWindows_(waylandEditorWindows) {
  if (x11_ && !x11_->Available()) x11_.reset();
  if (wayland_ && !wayland_->Available()) wayland_.reset();
  if (!wayland_) waylandEditorWindows_ = nullptr;
}

SessionForeground::~SessionForeground() = default;

bool SessionForeground::Available() { return x11_ || wayland_; }

std::string SessionForeground::Why() {
  return "Neither the X11 display nor the Wayland compositor tells which window has the focus: the DEFAULT Keyset "
         "serves every application.";
}

ForegroundWindow SessionForeground::Foreground() {
  if (x11_) {
    const ForegroundWindow window = x11_->Foreground();
    if (window.found) {
      route_.store(FocusRoute::kX11, std::memory_order_release);
      return window;
    }
  }
  const ForegroundWindow window = wayland_ ? wayland_->Foreground() : ForegroundWindow{};
  route_.store(window.found ? FocusRoute::kWayland : FocusRoute::kNone, std::memory_order_release);
  return window;
}

std::string SessionForeground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

bool SessionForeground::ReportChanges(std::function<void()> changed) {
  return wayland_ && wayland_->ReportChanges(std::move(changed)) && !x11_;
}

void SessionForeground::EditorWindow(unsigned long window, const std::string& title, bool shown) {
  for (EditorWindowSet* set : {x11_ ? &x11_->EditorWindows() : nullptr, waylandEditorWindows_}) {
    if (!set) continue;
    if (shown)
      set->Add(window, title);
    else
      set->Remove(window);
  }
}

}  // namespace orvo
