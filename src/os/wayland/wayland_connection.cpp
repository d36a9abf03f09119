#include "os/wayland/wayland_connection.h"

#include <sys/socket.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "os/linux/fd_watch_thread.h"

namespace orvo {
namespace {

// The constructor's thread, during its round trip.
void OnGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
  static_cast<WaylandConnection*>(data)->globals().push_back({name, interface, version});
}
// Globals that go away later (an output unplugged) do not concern the two we bind.
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

}  // namespace

WaylandConnection::WaylandConnection(const char* displayName) {
  const char* wanted = displayName ? displayName : std::getenv("WAYLAND_DISPLAY");
  if (!wanted || !*wanted) {
    why_ = "No Wayland display (WAYLAND_DISPLAY is not set)";
    return;
  }
  name_ = wanted;
  display_ = wl_display_connect(wanted);
  if (!display_) {
    why_ = "Cannot connect to the Wayland display \"" + name_ + "\"";
    return;
  }
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &kRegistryListener, this);
  if (!RoundTrip()) why_ = "The Wayland display \"" + name_ + "\" did not answer";
}

WaylandConnection::~WaylandConnection() {
  watch_.reset();
  if (registry_) wl_registry_destroy(registry_);
  if (display_) wl_display_disconnect(display_);
}

void* WaylandConnection::Bind(const wl_interface* interface, uint32_t version) {
  for (const Global& global : globals_)
    if (global.interface == interface->name)
      return wl_registry_bind(registry_, global.name, interface, std::min(version, global.version));
  return nullptr;
}

bool WaylandConnection::Offers(const char* interfaceName) const {
  return std::any_of(globals_.begin(), globals_.end(),
                     [&](const Global& global) { return global.interface == interfaceName; });
}

bool WaylandConnection::RoundTrip() { return display_ && wl_display_roundtrip(display_) >= 0; }

void WaylandConnection::Watch(std::function<void()> onLost) {
  if (!display_ || watch_) return;
  onLost_ = std::move(onLost);
  Flush();
  watch_ = std::make_unique<FdWatchThread>(wl_display_get_fd(display_), [this] { Dispatch(); }, [this] { Lost(); });
}

// The watch thread, woken by poll: the data is there, so dispatching does not block.
void WaylandConnection::Dispatch() {
  if (wl_display_dispatch(display_) >= 0) {
    wl_display_flush(display_);  // what the handlers sent (destroying closed toplevels)
    return;
  }
  // A protocol error leaves the socket readable; shutting it down ends the watch, which
  // stops on the hang-up instead of waking for it again and again.
  shutdown(wl_display_get_fd(display_), SHUT_RDWR);
  Lost();
}

// The watch thread, once the connection has failed or the compositor hung up.
void WaylandConnection::Lost() {
  if (onLost_) std::exchange(onLost_, {})();
}

void WaylandConnection::StopWatching() { watch_.reset(); }

void WaylandConnection::Flush() {
  if (display_) wl_display_flush(display_);
}

bool WaylandConnection::Broken() const { return !display_ || wl_display_get_error(display_) != 0; }

}  // namespace orvo
