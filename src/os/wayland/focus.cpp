#include "os/wayland/focus.h"

#include <unistd.h>
#include <wayland-client.h>
#include <wlr-foreign-toplevel-management-unstable-v1-client-protocol.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "os/linux/process_name.h"
#include "platform/application_name.h"

namespace orvo {
namespace {

using Toplevel = WaylandForeground::Toplevel;

// The event handlers all run on the watch thread.
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
void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
  auto* toplevel = static_cast<Toplevel*>(data);
  toplevel->owner->Done(*toplevel);
}
void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1*) {
  auto* toplevel = static_cast<Toplevel*>(data);
  toplevel->owner->Closed(*toplevel);
}
void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener{
    OnTitle, OnAppId, OnOutputEnter, OnOutputLeave, OnState, OnDone, OnClosed, OnParent};

void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
  static_cast<WaylandForeground*>(data)->Added(handle);
}
void OnFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener{OnToplevel, OnFinished};

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

WaylandForeground::WaylandForeground(const char* displayName, const char* swaySocket)
    : connection_(displayName),
      ownProcessId_(static_cast<uint32_t>(getpid())),
      ownName_(ProcessExecutableBaseName(static_cast<uint32_t>(getpid()))) {
  const std::string off = ": the focused Wayland window cannot be followed.";
  if (!connection_.display() || !connection_.why().empty()) {
    why_ = connection_.why() + off;
    return;
  }
  manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
      connection_.Bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
  if (!manager_) {
    why_ = "The Wayland compositor on \"" + connection_.name() + "\" does not tell which window has the focus" + off;
    return;
  }
  auto ipc = std::make_unique<SwayIpc>(swaySocket);
  if (ipc->Connected()) ipc_ = std::move(ipc);
  zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &kManagerListener, this);
  connection_.RoundTrip();  // the toplevels that exist now, before the first question
  connection_.RoundTrip();  // and their first batches of events
  connection_.Watch([this] {
    // The compositor has gone: no window has the focus any more.
    {
      std::lock_guard lock(mutex_);
      focus_ = {};
    }
    Changed();
  });
}

WaylandForeground::~WaylandForeground() {
  ReportChanges({});
  // The handlers must not run on what goes: first the watch thread, then the objects.
  connection_.StopWatching();
  for (Toplevel& toplevel : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
  if (manager_) zwlr_foreign_toplevel_manager_v1_stop(manager_);
  connection_.Flush();
}

bool WaylandForeground::Available() { return manager_ != nullptr; }

std::string WaylandForeground::Why() { return why_; }

void WaylandForeground::Added(zwlr_foreign_toplevel_handle_v1* handle) {
  toplevels_.push_back(Toplevel{this, handle, {}, {}, false, {}, {}, false});
  zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, &toplevels_.back());
}

void WaylandForeground::Done(Toplevel& toplevel) {
  const bool changed = toplevel.activated != toplevel.pendingActivated || toplevel.appId != toplevel.pendingAppId ||
                       toplevel.title != toplevel.pendingTitle;
  toplevel.appId = toplevel.pendingAppId;
  toplevel.title = toplevel.pendingTitle;
  toplevel.activated = toplevel.pendingActivated;
  if (changed && (toplevel.activated || &toplevel == focused_)) Refocus();
}

void WaylandForeground::Closed(Toplevel& toplevel) {
  const bool wasFocused = &toplevel == focused_;
  zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
  toplevels_.remove_if([&](const Toplevel& each) { return &each == &toplevel; });
  if (wasFocused) {
    focused_ = nullptr;
    Refocus();
  }
}

// Watch thread: the activated toplevel, and its process from sway when it can be asked.
void WaylandForeground::Refocus() {
  focused_ = nullptr;
  for (Toplevel& toplevel : toplevels_)
    if (toplevel.activated) focused_ = &toplevel;
  Focus focus;
  if (focused_) {
    focus.found = true;
    focus.appId = focused_->appId;
    focus.title = focused_->title;
    if (ipc_) {
      const SwayFocusedWindow window = ipc_->FocusedWindow();
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
