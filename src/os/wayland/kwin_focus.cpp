#include "os/wayland/kwin_focus.h"

#include <dbus/dbus.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace orvo {
namespace {

constexpr const char* kKwin = "org.kde.KWin";
constexpr const char* kScripting = "org.kde.kwin.Scripting";
constexpr const char* kScriptName = "orvo-focus";
constexpr const char* kPath = "/org/orvo/Focus";
constexpr const char* kInterface = "org.orvo.Focus";

// The script calls `destination` at each change; `current` follows the active window's
// title, and is let go when another window becomes active.
std::string ScriptText(const std::string& destination) {
  return "(function () {\n"
         "  var current = null;\n"
         "  function report() {\n"
         "    var w = current;\n"
         "    callDBus(\"" + destination + "\", \"" + kPath + "\", \"" + kInterface + "\", \"Focused\",\n"
         "             w ? w.pid : 0, w ? String(w.resourceClass) : \"\", w ? String(w.caption) : \"\");\n"
         "  }\n"
         "  function activated(w) {\n"
         "    try { if (current) current.captionChanged.disconnect(report); } catch (e) {}\n"
         "    current = w;\n"
         "    try { if (w) w.captionChanged.connect(report); } catch (e) {}\n"
         "    report();\n"
         "  }\n"
         "  (workspace.windowActivated || workspace.clientActivated).connect(activated);\n"
         "  activated(workspace.activeWindow || workspace.activeClient);\n"
         "})();\n";
}

DBusMessage* ScriptingCall(const char* method) {
  return dbus_message_new_method_call(kKwin, "/Scripting", kScripting, method);
}

void Unload(SessionBus& bus) {
  DBusMessage* call = ScriptingCall("unloadScript");
  const char* name = kScriptName;
  dbus_message_append_args(call, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
  if (DBusMessage* reply = bus.Call(call)) dbus_message_unref(reply);
}

}  // namespace

KwinForeground::KwinForeground() {
  const std::string off = ": the focused Wayland window cannot be followed.";
  if (!bus_.Connected()) {
    why_ = bus_.Why() + off;
    return;
  }
  // KWin reads the script from a file; it names only our bus address.
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvo-kwin-focus-XXXXXX.js";
  const int fd = mkstemps(path.data(), 3);
  if (fd < 0) {
    why_ = "The KWin script could not be written" + off;
    return;
  }
  fchmod(fd, 0644);  // readable by KWin, whichever user runs it: it holds only our bus name
  close(fd);
  scriptPath_ = path;
  std::ofstream(path) << ScriptText(bus_.UniqueName());
  // Only KWin's reports count: another client on the bus could call us too.
  DBusMessage* ask = dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetNameOwner");
  const char* kwin = kKwin;
  dbus_message_append_args(ask, DBUS_TYPE_STRING, &kwin, DBUS_TYPE_INVALID);
  if (DBusMessage* owner = bus_.Call(ask)) {
    const char* name = nullptr;
    if (dbus_message_get_args(owner, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID)) kwinName_ = name;
    dbus_message_unref(owner);
  }
  // A script of an earlier run that did not end cleanly goes first.
  Unload(bus_);
  bus_.Watch([this](DBusMessage* message) { Handle(message); });

  DBusMessage* load = ScriptingCall("loadScript");
  const char* file = scriptPath_.c_str();
  const char* name = kScriptName;
  dbus_message_append_args(load, DBUS_TYPE_STRING, &file, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
  std::string error;
  DBusMessage* reply = bus_.Call(load, &error);
  int32_t id = -1;
  if (reply) dbus_message_get_args(reply, nullptr, DBUS_TYPE_INT32, &id, DBUS_TYPE_INVALID);
  if (reply) dbus_message_unref(reply);
  if (id < 0) {
    why_ = "KWin did not load the focus script (" + (error.empty() ? std::string("refused") : error) + ")" + off;
    return;
  }
  reply = bus_.Call(ScriptingCall("start"), &error);
  if (!reply) {
    why_ = "KWin did not start the focus script (" + error + ")" + off;
    return;
  }
  dbus_message_unref(reply);
  loaded_ = true;
}

KwinForeground::~KwinForeground() {
  ReportChanges({});
  if (loaded_) Unload(bus_);
  bus_.StopWatching();
  if (!scriptPath_.empty()) unlink(scriptPath_.c_str());
}

// The watch thread: the script's call, answered at once.
void KwinForeground::Handle(DBusMessage* message) {
  if (!dbus_message_is_method_call(message, kInterface, "Focused")) return;
  const char* sender = dbus_message_get_sender(message);
  if (!sender || kwinName_ != sender) return;
  int32_t pid = 0;
  const char* windowClass = "";
  const char* title = "";
  DBusError error;
  dbus_error_init(&error);
  // The pid comes as an integer or, from a script's number, as a double.
  if (!dbus_message_get_args(message, &error, DBUS_TYPE_INT32, &pid, DBUS_TYPE_STRING, &windowClass, DBUS_TYPE_STRING,
                             &title, DBUS_TYPE_INVALID)) {
    double number = 0;
    if (dbus_message_get_args(message, nullptr, DBUS_TYPE_DOUBLE, &number, DBUS_TYPE_STRING, &windowClass,
                              DBUS_TYPE_STRING, &title, DBUS_TYPE_INVALID))
      pid = static_cast<int32_t>(number);
  }
  dbus_error_free(&error);
  if (!dbus_message_get_no_reply(message)) {
    if (DBusMessage* answer = dbus_message_new_method_return(message)) {
      dbus_connection_send(bus_.Connection(), answer, nullptr);
      dbus_message_unref(answer);
    }
  }
  Report(pid > 0 ? static_cast<uint32_t>(pid) : 0, windowClass, title);
}

}  // namespace orvo
