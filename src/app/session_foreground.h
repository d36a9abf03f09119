#pragma once
// The focus in a Wayland session: X11 programs through XWayland are asked on X11, and
// when the X11 side reports no focused window, a native Wayland window has it and the
// compositor is asked. Records which side found the focus, so that keystrokes take the
// route that reaches that window.
#include <atomic>
#include <memory>

#include "platform/foreground_query.h"

namespace orvo {

class EditorWindowSet;
class X11Foreground;

enum class FocusRoute { kNone, kX11, kWayland };

class SessionForeground : public ForegroundQuery {
 public:
  // Either side may be null or unavailable; `waylandEditorWindows` is the Wayland side's
  // set of editor windows (null with it).
  SessionForeground(std::unique_ptr<X11Foreground> x11, std::unique_ptr<ForegroundQuery> wayland,
                    EditorWindowSet* waylandEditorWindows);
  ~SessionForeground() override;

  bool Available() override;
  std::string Why() override;
  ForegroundWindow Foreground() override;  // the focus finder thread
  std::string ProcessBaseName(uint32_t processId) override;
  // Told by the compositor; every change only where no X11 side has to be asked as well.
  bool ReportChanges(std::function<void()> changed) override;

  bool HasX11() const { return x11_ != nullptr; }
  // The side that found the focus at the last Foreground(). Any thread.
  FocusRoute Route() const { return route_.load(std::memory_order_acquire); }
  // An editor window shown (again, with its title) or hidden. GUI thread.
  void EditorWindow(unsigned long window, const std::string& title, bool shown);

 private:
  std::unique_ptr<X11Foreground> x11_;
  std::unique_ptr<ForegroundQuery> wayland_;
  EditorWindowSet* waylandEditorWindows_ = nullptr;
  std::atomic<FocusRoute> route_{FocusRoute::kNone};
};

}  // namespace orvo
