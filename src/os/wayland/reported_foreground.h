#pragma once
// The focused window as a desktop's own component tells it, change by change (KWin's
// script, our GNOME Shell extension): its process, class and title, kept for the focus
// finder's question. The process names the Keyset through its executable, as everywhere;
// a window of this program counts as the editor's when its title is an editor window's.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/editor_window_set.h"
#include "platform/foreground_query.h"

namespace orvo {

class ReportedForeground : public ForegroundQuery {
 public:
  ReportedForeground();

  bool Available() override { return true; }
  std::string Why() override { return {}; }
  ForegroundWindow Foreground() override;  // the focus finder thread
  std::string ProcessBaseName(uint32_t processId) override;
  bool ReportChanges(std::function<void()> changed) override;

  EditorWindowSet& EditorWindows() { return editorWindows_; }

 protected:
  // The desktop's report: `processId` 0 and an empty class mean no window has the focus.
  // The reporting thread.
  void Report(uint32_t processId, const std::string& windowClass, const std::string& title);
  // Until the desktop reports, or when it cannot: a window has the focus, which one is not
  // known (the DEFAULT Keyset, keys typed into it).
  void ReportUnknown();

 private:
  struct Focus {
    bool found = false;
    uint32_t processId = 0;
    std::string windowClass, title;
  };
  void Set(Focus focus);

  const uint32_t ownProcessId_;
  std::mutex mutex_;
  Focus focus_;
  std::mutex listenerMutex_;  // held while the listener runs, so that it can be taken away
  std::function<void()> changed_;
  EditorWindowSet editorWindows_;
};

}  // namespace orvo
