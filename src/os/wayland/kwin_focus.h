#pragma once
// The focused window on KDE Plasma: a small KWin script, loaded over D-Bus at start and
// unloaded at exit, tells each activation (Plasma 5's clientActivated, Plasma 6's
// windowActivated) and each title change of the active window by calling this object on
// the session bus with the window's process, class and title. No polling, no permission.
#include <string>

#include "os/wayland/reported_foreground.h"
#include "os/wayland/session_bus.h"

namespace orvo {

class KwinForeground : public ReportedForeground {
 public:
  KwinForeground();
  ~KwinForeground() override;  // unloads the script

  bool Available() override { return loaded_; }
  std::string Why() override { return why_; }

 private:
  void Handle(DBusMessage* message);  // the bus's watch thread

  SessionBus bus_;
  std::string kwinName_;  // KWin's unique name on the bus: whose calls are believed
  std::string scriptPath_;
  bool loaded_ = false;
  std::string why_;
};

}  // namespace orvo
