#pragma once
// The foreground window on Windows: GetForegroundWindow and the process that owns it. The
// focus finder polls: SetWinEventHook's foreground events do not arrive everywhere (not
// under Wine), so no change is promised to be told.
#include <cstdint>
#include <string>

#include "platform/editor_window_set.h"
#include "platform/foreground_query.h"

namespace orvo {

class WindowsForeground : public ForegroundQuery {
 public:
  WindowsForeground();

  // Any thread.
  bool Available() override;
  std::string Why() override;
  // The focus finder thread.
  ForegroundWindow Foreground() override;
  std::string ProcessBaseName(uint32_t processId) override;

  // Windows are known by their handle's value.
  EditorWindowSet& EditorWindows() { return editorWindows_; }

 private:
  const uint32_t ownProcessId_;
  EditorWindowSet editorWindows_;
};

}  // namespace orvo
