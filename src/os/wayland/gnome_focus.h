#pragma once
// The focused window on GNOME: our GNOME Shell extension (installed with the program)
// exports it on the session bus and signals each change; this object listens. Until the
// extension is there (not enabled, or the shell restarting), a window has the focus that
// cannot be named: the DEFAULT Keyset serves it and keys are typed into it.
#include <atomic>
#include <string>

#include "os/wayland/reported_foreground.h"
#include "os/wayland/session_bus.h"

namespace orvo {

// The extension's identity, for the start line's advice.
inline constexpr const char* kGnomeExtensionUuid = "focused-window@orvo.org";

class GnomeShellForeground : public ReportedForeground {
 public:
  GnomeShellForeground();
  ~GnomeShellForeground() override;

  bool Available() override { return bus_.Connected(); }
  std::string Why() override { return bus_.Why(); }
  // Whether the extension answered at start. Any thread.
  bool ExtensionEnabled() const { return enabled_.load(); }

 private:
  void Handle(DBusMessage* message);  // the bus's watch thread

  SessionBus bus_;
  std::atomic<bool> enabled_{false};
  std::string shell_;  // GNOME Shell's unique name on the bus; the watch thread's once watching
};

}  // namespace orvo
