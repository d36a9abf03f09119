#pragma once
// The focused window on wlroots compositors: the toplevel that foreign-toplevel events
// mark activated, followed as the events come (no polling). Its process from sway's IPC
// where the session has one ($SWAYSOCK); elsewhere the window is known only by its
// app_id, which then names its Keyset as an executable name would.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "os/wayland/sway_ipc.h"
#include "os/wayland/wayland_connection.h"
#include "platform/editor_window_set.h"
#include "platform/foreground_query.h"

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace orvo {

class WaylandForeground : public ForegroundQuery {
 public:
  // Opens its own connection to `displayName` ($WAYLAND_DISPLAY when null) and, where
  // `swaySocket` (or $SWAYSOCK when null) names one, sway's IPC.
  explicit WaylandForeground(const char* displayName = nullptr, const char* swaySocket = nullptr);
  ~WaylandForeground() override;

  // Any thread.
  bool Available() override;
  std::string Why() override;
  // Whether the windows' processes are known (sway's IPC), not only their app_ids.
  bool KnowsProcesses() const { return ipc_ != nullptr; }
  // The focus finder thread.
  ForegroundWindow Foreground() override;
  std::string ProcessBaseName(uint32_t processId) override;
  bool ReportChanges(std::function<void()> changed) override;

  EditorWindowSet& EditorWindows() { return editorWindows_; }

  // For the event handlers, which run on the watch thread.
  struct Toplevel {
    WaylandForeground* owner;
    zwlr_foreign_toplevel_handle_v1* handle;
    std::string appId, title;  // as last done
    bool activated = false;
    std::string pendingAppId, pendingTitle;
    bool pendingActivated = false;
  };
  void Added(zwlr_foreign_toplevel_handle_v1* handle);
  void Done(Toplevel& toplevel);
  void Closed(Toplevel& toplevel);

 private:
  struct Focus {
    bool found = false;
    uint32_t processId = 0;
    std::string appId, title;
  };
  void Refocus();  // watch thread
  void Changed();  // watch thread

  WaylandConnection connection_;
  std::string why_;
  zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
  std::unique_ptr<SwayIpc> ipc_;
  const uint32_t ownProcessId_;
  const std::string ownName_;
  std::list<Toplevel> toplevels_;  // watch thread only; stable addresses for the listeners
  Toplevel* focused_ = nullptr;     // watch thread only

  std::mutex mutex_;  // the focus, between the watch thread and the focus finder
  Focus focus_;
  std::mutex listenerMutex_;  // held while the listener runs, so that it can be taken away
  std::function<void()> changed_;
  EditorWindowSet editorWindows_;
};

}  // namespace orvo
