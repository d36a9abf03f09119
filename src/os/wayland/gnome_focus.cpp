#include "os/wayland/gnome_focus.h"

#include <dbus/dbus.h>

#include <cstdint>
#include <cstring>

namespace orvo {
namespace {

constexpr const char* kName = "org.orvo.FocusedWindow";
constexpr const char* kPath = "/org/orvo/FocusedWindow";
constexpr const char* kInterface = "org.orvo.FocusedWindow";
constexpr const char* kShell = "org.gnome.Shell";

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
  bus_.AddMatch(std::string("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") + kShell +
                "'");
  // The extension runs in GNOME Shell, on the shell's own connection: only its signals count.
  DBusMessage* ask = dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetNameOwner");
  const char* shell = kShell;
  dbus_message_append_args(ask, DBUS_TYPE_STRING, &shell, DBUS_TYPE_INVALID);
  if (DBusMessage* owner = bus_.Call(ask)) {
    const char* name = nullptr;
    if (dbus_message_get_args(owner, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID)) shell_ = name;
    dbus_message_unref(owner);
  }
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
// restarting) leaves a window that cannot be named. Only the shell's signals count, and
// the bus's own about the names.
void GnomeShellForeground::Handle(DBusMessage* message) {
  const char* sender = dbus_message_get_sender(message);
  if (!sender) return;
  if (dbus_message_is_signal(message, kInterface, "Changed")) {
    if (shell_ != sender) return;
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
    if (std::strcmp(sender, "org.freedesktop.DBus") != 0 ||
        !dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &before, DBUS_TYPE_STRING,
                               &after, DBUS_TYPE_INVALID) ||
        !*name)
      return;
    if (std::strcmp(name, kShell) == 0) shell_ = after;
    if (!*after) ReportUnknown();
  }
}

}  // namespace orvo
