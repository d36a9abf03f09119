#pragma once
// The foreground window on Windows: GetForegroundWindow and the process that owns it. A
// foreground event hook (SetWinEventHook) wakes the focus finder as the window in front
// changes; the events do not arrive everywhere (not under Wine), so no change is promised
// to be told and the focus finder polls as well.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/editor_window_set.h"
#include "platform/foreground_query.h"

namespace orvo {

class WindowsForeground : public ForegroundQuery {
 public:
  WindowsForeground();
  ~WindowsForeground() override;  // the hook's thread is stopped and joined
  WindowsForeground(const WindowsForeground&) = delete;
  WindowsForeground& operator=(const WindowsForeground&) = delete;

  // Any thread.
  bool Available() override;
  std::string Why() override;
  // The focus finder thread.
  ForegroundWindow Foreground() override;
  std::string ProcessBaseName(uint32_t processId) override;
  // Main thread (the focus finder's start and stop). `changed` runs on the hook's thread
  // after each foreground event; false: not every change is told.
  bool ReportChanges(std::function<void()> changed) override;

  // Windows are known by their handle's value.
  EditorWindowSet& EditorWindows() { return editorWindows_; }

 private:
  const uint32_t ownProcessId_;
  EditorWindowSet editorWindows_;
  std::mutex changedMutex_;  // held while `changed_` runs or is replaced
  std::function<void()> changed_;
  struct HookThread;  // the event hook on a thread with a message loop, made at the first report
  std::unique_ptr<HookThread> hook_;
};

}  // namespace orvo
