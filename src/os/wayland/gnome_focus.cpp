#include "os/wayland/gnome_focus.h"

#include <dbus/dbus.h>

#include <cstdint>

namespace orvo {
namespace {

constexpr const char* kName = "org.orvo.FocusedWindow";
constexpr const char* kPath = "/org/orvo/FocusedWindow";
constexpr const char* kInterface = "org.orvo.FocusedWindow";

bool ReadWindow(DBusMessage* message, uint32_t* pid, const char** windowClass, const char** title) {
  return dbus_message_get_args(message, nullptr, DBUS_TYPE_UINT32, pid, DBUS_TYPE_STRING, windowClass,
                               DBUS_TYPE_STRING, title, DBUS_TYPE_INVALID);
}

}  // namespace

GnomeShellForeground::GnomeShellForeground() {
  if (!bus_.Connected()) return;
  bus_.AddMatch(std::string("type='signal',interface='") + kInterface + "',member='Changed'");
  bus_.AddMatch(std::string("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") + kName +
                "'");
  uint32_t pid = 0;
  const char* windowClass = "";
  const char* title = "";
  DBusMessage* reply = bus_.Call(dbus_message_new_method_call(kName, kPath, kInterface, "Get"));
  if (reply && ReadWindow(reply, &pid, &windowClass, &title)) {
    enabled_ = true;
    Report(pid, windowClass, title);
  } else {
    ReportUnknown();
  }
  if (reply) dbus_message_unref(reply);
  bus_.Watch([this](DBusMessage* message) { Handle(message); });
}

GnomeShellForeground::~GnomeShellForeground() {
  ReportChanges({});
  bus_.StopWatching();
}

// The watch thread: each change the extension signals; its going (disabled, the shell
// restarting) leaves a window that cannot be named.
void GnomeShellForeground::Handle(DBusMessage* message) {
  if (dbus_message_is_signal(message, kInterface, "Changed")) {
    uint32_t pid = 0;
    const char* windowClass = "";
    const char* title = "";
    if (ReadWindow(message, &pid, &windowClass, &title)) Report(pid, windowClass, title);
    return;
  }
  if (dbus_message_is_signal(message, "org.freedesktop.DBus", "NameOwnerChanged")) {
    const char* name = "";
    const char* before = "";
    const char* after = "";
    if (dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &before, DBUS_TYPE_STRING,
                              &after, DBUS_TYPE_INVALID) &&
        !*after)
      ReportUnknown();
  }
}

}  // namespace orvo
