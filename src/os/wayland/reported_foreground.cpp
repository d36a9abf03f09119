#include "os/wayland/reported_foreground.h"

#include <unistd.h>

#include "os/linux/process_name.h"
#include "platform/application_name.h"

namespace orvo {

ReportedForeground::ReportedForeground() : ownProcessId_(static_cast<uint32_t>(getpid())) {}

void ReportedForeground::Report(uint32_t processId, const std::string& windowClass, const std::string& title) {
  Set(Focus{processId != 0 || !windowClass.empty(), processId, windowClass, title});
}

void ReportedForeground::ReportUnknown() { Set(Focus{true, 0, {}, {}}); }

void ReportedForeground::Set(Focus focus) {
  {
    std::lock_guard lock(mutex_);
    focus_ = std::move(focus);
  }
  std::lock_guard lock(listenerMutex_);
  if (changed_) changed_();
}

bool ReportedForeground::ReportChanges(std::function<void()> changed) {
  std::lock_guard lock(listenerMutex_);
  changed_ = std::move(changed);
  return true;
}

ForegroundWindow ReportedForeground::Foreground() {
  Focus focus;
  {
    std::lock_guard lock(mutex_);
    focus = focus_;
  }
  ForegroundWindow result;
  result.found = focus.found;
  result.processId = focus.processId;
  // Without a process (an X11 window's class through XWayland, say) the class names it.
  if (result.processId == 0) result.name = BaseNameOfExecutable(focus.windowClass);
  if (result.processId == ownProcessId_) {
    result.name.clear();
    result.ownerId = editorWindows_.ContainsTitle(focus.title) ? kOwnerEditor : kOwnerOther;
  }
  return result;
}

std::string ReportedForeground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

}  // namespace orvo
