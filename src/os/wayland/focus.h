#pragma once
// The focused window on wlroots compositors: the toplevel that foreign-toplevel events
// mark activated, followed as the events come (no polling). Its process from sway's IPC
// where the session has one ($SWAYSOCK); elsewhere the window is known only by its
// app_id, which then names its Keyset as an executable name would. When the compositor
// goes away, no window has the focus, that is said once, and the driver connects again
// when a compositor comes back on the same display name.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "os/wayland/reconnect_timer.h"
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
  // `swaySocket` (or $SWAYSOCK when null) names one, sway's IPC. `say` tells the
  // compositor's going and coming back (on a thread of this object's own).
  explicit WaylandForeground(const char* displayName = nullptr, const char* swaySocket = nullptr,
                             std::function<void(const std::string&)> say = {});
  ~WaylandForeground() override;

  // Any thread.
  bool Available() override;
  std::string Why() override;
  // Whether the windows' processes are known (sway's IPC), not only their app_ids.
  bool KnowsProcesses() const { return knowsProcesses_; }
  // The focus finder thread.
  ForegroundWindow Foreground() override;
  std::string ProcessBaseName(uint32_t processId) override;
  bool ReportChanges(std::function<void()> changed) override;

  EditorWindowSet& EditorWindows() { return editorWindows_; }

  // One connection to the compositor with what it told; a new one when it comes back.
  struct Session;
  // For the event handlers, which run on the session's watch thread.
  struct Toplevel {
    Session* session;
    zwlr_foreign_toplevel_handle_v1* handle;
    std::string appId, title;  // as last done
    bool activated = false;
    std::string pendingAppId, pendingTitle;
    bool pendingActivated = false;
  };
  void Added(Session& session, zwlr_foreign_toplevel_handle_v1* handle);
  void Done(Session& session, Toplevel& toplevel);
  void Closed(Session& session, Toplevel& toplevel);

 private:
  struct Focus {
    bool found = false;
    uint32_t processId = 0;
    std::string appId, title;
  };
  std::unique_ptr<Session> Connect(std::string* why);  // the constructor, then the timer's thread
  bool Reconnect();                                    // the timer's thread
  void Lost();                                         // watch thread
  void Refocus(Session& session);                      // watch thread
  void Changed();                                      // watch thread

  std::string displayName_, swaySocket_;
  std::function<void(const std::string&)> say_;
  std::string why_;
  bool knowsProcesses_ = false;
  const uint32_t ownProcessId_;
  const std::string ownName_;
  std::unique_ptr<Session> session_;  // the constructor, the timer's thread, the destructor

  std::mutex mutex_;  // the focus, between the watch thread and the focus finder
  Focus focus_;
  std::mutex listenerMutex_;  // held while the listener runs, so that it can be taken away
  std::function<void()> changed_;
  EditorWindowSet editorWindows_;
  ReconnectTimer reconnect_;
};

}  // namespace orvo
