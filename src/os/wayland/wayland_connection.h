#pragma once
// One connection of our own to the Wayland compositor, with the globals it offers and a
// watch thread that dispatches its events. Each user (focus, keystrokes) opens its own,
// as on X11, so that neither waits for the other's events.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_registry;

namespace orvo {

class FdWatchThread;

class WaylandConnection {
 public:
  // Connects to `displayName`, or $WAYLAND_DISPLAY when it is null, and learns the
  // globals with one round trip. On failure display() is null and why() says why.
  explicit WaylandConnection(const char* displayName);
  ~WaylandConnection();  // stops the watch thread first
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  wl_display* display() const { return display_; }
  const std::string& why() const { return why_; }
  const std::string& name() const { return name_; }

  // Binds the first global of `interface` at min(offered, `version`); null when the
  // compositor does not offer it. Before Watch().
  void* Bind(const wl_interface* interface, uint32_t version);
  bool Offers(const char* interfaceName) const;
  // Waits until the compositor has answered every request sent so far. Before Watch().
  bool RoundTrip();

  // From now on the watch thread dispatches the events; the handlers run on it. After an
  // error (the compositor went away) it stops and `onLost` runs once, on that thread.
  void Watch(std::function<void()> onLost = {});
  // Stops the watch thread; no handler runs after it returns.
  void StopWatching();
  // Sends what is queued. Any thread.
  void Flush();
  // The connection has failed (compositor gone, protocol error). Any thread.
  bool Broken() const;

  // For the registry listener (the calling thread of the constructor).
  struct Global {
    uint32_t name;
    std::string interface;
    uint32_t version;
  };
  std::vector<Global>& globals() { return globals_; }

 private:
  void Dispatch();  // the watch thread
  void Lost();      // the watch thread

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  std::string why_;
  std::string name_;
  std::vector<Global> globals_;
  std::function<void()> onLost_;
  std::unique_ptr<FdWatchThread> watch_;
};

}  // namespace orvo
