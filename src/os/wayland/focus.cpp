#include "os/wayland/focus.h"

#include <unistd.h>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "os/linux/process_name.h"
#include "platform/application_name.h"

namespace orvo {
namespace {

using Toplevel = WaylandForeground::Toplevel;

// The event handlers all run on the session's watch thread.
void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
  static_cast<Toplevel*>(data)->pendingTitle = title;
}
void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
  static_cast<Toplevel*>(data)->pendingAppId = appId;
}
void OnOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void OnOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void OnState(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
  const auto* begin = static_cast<const uint32_t*>(states->data);
  const auto* end = begin + states->size / sizeof(uint32_t);
  static_cast<Toplevel*>(data)->pendingActivated =
      std::find(begin, end, uint32_t{ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED}) != end;
}
void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*);
void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1*);
void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{
    OnTitle, OnAppId, OnOutputEnter, OnOutputLeave, OnState, OnDone, OnClosed, OnParent};

void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
void OnFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener{OnToplevel, OnFinished};

// sway's IPC socket: the one given, or, once sway has started again, the new one beside it
// (sway names it after its process).
std::unique_ptr<SwayIpc> ConnectSway(const std::string& path) {
  if (path.empty()) return nullptr;
  auto ipc = std::make_unique<SwayIpc>(path.c_str());
  if (ipc->Connected()) return ipc;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("sway-ipc.", 0) != 0 || entry.path().extension() != ".sock") continue;
    ipc = std::make_unique<SwayIpc>(entry.path().c_str());
    if (ipc->Connected()) return ipc;
  }
  return nullptr;
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

struct WaylandForeground::Session {
  Session(WaylandForeground* foreground, const std::string& displayName)
      : owner(foreground), connection(displayName.empty() ? nullptr : displayName.c_str()) {}
  // The handlers must not run on what goes: first the watch thread, then the objects.
  ~Session() {
    connection.StopWatching();
    for (Toplevel& toplevel : toplevels) zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    if (manager) zwlr_foreign_toplevel_manager_v1_stop(manager);
    connection.Flush();
  }

  WaylandForeground* const owner;
  WaylandConnection connection;
  zwlr_foreign_toplevel_manager_v1* manager = nullptr;
  std::unique_ptr<SwayIpc> ipc;
  std::list<Toplevel> toplevels;  // watch thread only; stable addresses for the listeners
  Toplevel* focused = nullptr;    // watch thread only
};

namespace {

void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
  auto* toplevel = static_cast<Toplevel*>(data);
  toplevel->session->owner->Done(*toplevel->session, *toplevel);
}
void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
  auto* toplevel = static_cast<Toplevel*>(data);
  toplevel->session->owner->Closed(*toplevel->session, *toplevel);
}
void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
  auto* session = static_cast<WaylandForeground::Session*>(data);
  session->owner->Added(*session, handle);
}

}  // namespace

WaylandForeground::WaylandForeground(const char* displayName, const char* swaySocket,
                                     std::function<void(const std::string&)> say)
    : say_(std::move(say)),
      ownProcessId_(static_cast<uint32_t>(getpid())),
      ownName_(ProcessExecutableBaseName(static_cast<uint32_t>(getpid()))),
      reconnect_([this] { return Reconnect(); }) {
  const char* display = displayName ? displayName : std::getenv("WAYLAND_DISPLAY");
  const char* sway = swaySocket ? swaySocket : std::getenv("SWAYSOCK");
  displayName_ = display ? display : "";
  swaySocket_ = sway ? sway : "";
  session_ = Connect(&why_);
  if (session_) knowsProcesses_ = session_->ipc != nullptr;
}

WaylandForeground::~WaylandForeground() {
  ReportChanges({});
  reconnect_.Stop();
  session_.reset();
}

std::unique_ptr<WaylandForeground::Session> WaylandForeground::Connect(std::string* why) {
  const std::string off = ": the focused Wayland window cannot be followed.";
  auto session = std::make_unique<Session>(this, displayName_);
  WaylandConnection& connection = session->connection;
  if (!connection.display() || !connection.why().empty()) {
    *why = connection.why() + off;
    return nullptr;
  }
  session->manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
      connection.Bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
  if (!session->manager) {
    *why = "The Wayland compositor on \"" + connection.name() + "\" does not tell which window has the focus" + off;
    return nullptr;
  }
  session->ipc = ConnectSway(swaySocket_);
  zwlr_foreign_toplevel_manager_v1_add_listener(session->manager, &kManagerListener, session.get());
  connection.RoundTrip();  // the toplevels that exist now, before the first question
  connection.RoundTrip();  // and their first batches of events
  connection.Watch([this] { Lost(); });
  return session;
}

// The compositor has gone: no window has the focus any more, until one comes back.
void WaylandForeground::Lost() {
  {
    std::lock_guard lock(mutex_);
    focus_ = {};
  }
  Changed();
  if (say_)
    say_("the Wayland compositor on " + displayName_ +
         " went away: Wayland windows are not followed and nothing is typed into them until it comes back");
  reconnect_.Start();
}

bool WaylandForeground::Reconnect() {
  std::string why;
  auto session = Connect(&why);
  if (!session) return false;
  session_ = std::move(session);  // the old one's watch thread has ended with its connection
  if (say_) say_("the Wayland compositor on " + displayName_ + " is back: Wayland windows are followed again");
  return true;
}

bool WaylandForeground::Available() { return why_.empty(); }

std::string WaylandForeground::Why() { return why_; }

void WaylandForeground::Added(Session& session, zwlr_foreign_toplevel_handle_v1* handle) {
  session.toplevels.push_back(Toplevel{&session, handle, {}, {}, false, {}, {}, false});
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, &session.toplevels.back());
}

void WaylandForeground::Done(Session& session, Toplevel& toplevel) {
  const bool changed = toplevel.activated != toplevel.pendingActivated || toplevel.appId != toplevel.pendingAppId ||
                       toplevel.title != toplevel.pendingTitle;
  toplevel.appId = toplevel.pendingAppId;
  toplevel.title = toplevel.pendingTitle;
  toplevel.activated = toplevel.pendingActivated;
  if (changed && (toplevel.activated || &toplevel == session.focused)) Refocus(session);
}

void WaylandForeground::Closed(Session& session, Toplevel& toplevel) {
  const bool wasFocused = &toplevel == session.focused;
  zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
  session.toplevels.remove_if([&](const Toplevel& each) { return &each == &toplevel; });
  if (wasFocused) {
    session.focused = nullptr;
    Refocus(session);
  }
}

// Watch thread: the activated toplevel, and its process from sway when it can be asked.
void WaylandForeground::Refocus(Session& session) {
  session.focused = nullptr;
  for (Toplevel& toplevel : session.toplevels)
    if (toplevel.activated) session.focused = &toplevel;
  Focus focus;
  if (session.focused) {
    focus.found = true;
    focus.appId = session.focused->appId;
    focus.title = session.focused->title;
    if (session.ipc) {
      const SwayFocusedWindow window = session.ipc->FocusedWindow();
      if (window.found) focus.processId = window.processId;
    }
  }
  {
    std::lock_guard lock(mutex_);
    focus_ = std::move(focus);
  }
  Changed();
}

void WaylandForeground::Changed() {
  std::lock_guard lock(listenerMutex_);
  if (changed_) changed_();
}

bool WaylandForeground::ReportChanges(std::function<void()> changed) {
  std::lock_guard lock(listenerMutex_);
  changed_ = std::move(changed);
  return Available();
}

ForegroundWindow WaylandForeground::Foreground() {
  Focus focus;
  {
    std::lock_guard lock(mutex_);
    focus = focus_;
  }
  ForegroundWindow result;
  if (!focus.found) return result;
  result.found = true;
  result.processId = focus.processId;
  if (result.processId == 0) {
    // Known by its app_id alone; our own windows carry our executable's name.
    result.name = BaseNameOfExecutable(focus.appId);
    if (!ownName_.empty() && SameName(result.name, ownName_)) result.processId = ownProcessId_;
  }
  if (result.processId == ownProcessId_) {
    result.name.clear();
    result.ownerId = editorWindows_.ContainsTitle(focus.title) ? kOwnerEditor : kOwnerOther;
  }
  result.found = result.processId != 0 || !result.name.empty();
  return result;
}

std::string WaylandForeground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

}  // namespace orvo
