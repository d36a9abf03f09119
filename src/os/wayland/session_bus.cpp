#include "os/wayland/session_bus.h"

#include <dbus/dbus.h>

#include <utility>

#include "os/linux/fd_watch_thread.h"

namespace orvo {
namespace {

// The watch thread, from dbus_connection_dispatch.
DBusHandlerResult OnMessage(DBusConnection*, DBusMessage* message, void* data) {
  auto* handler = static_cast<std::function<void(DBusMessage*)>*>(data);
  if (*handler) (*handler)(message);
  return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

}  // namespace

SessionBus::SessionBus() {
  dbus_threads_init_default();
  DBusError error;
  dbus_error_init(&error);
  connection_ = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
  if (!connection_) {
    why_ = std::string("No D-Bus session bus (") + (error.message ? error.message : "not found") + ")";
    dbus_error_free(&error);
    return;
  }
  dbus_connection_set_exit_on_disconnect(connection_, FALSE);
}

SessionBus::~SessionBus() {
  StopWatching();
  if (!connection_) return;
  dbus_connection_flush(connection_);
  dbus_connection_close(connection_);
  dbus_connection_unref(connection_);
}

std::string SessionBus::UniqueName() const {
  const char* name = connection_ ? dbus_bus_get_unique_name(connection_) : nullptr;
  return name ? name : "";
}

bool SessionBus::HasOwner(const char* name) {
  if (!connection_) return false;
  DBusError error;
  dbus_error_init(&error);
  const bool owned = dbus_bus_name_has_owner(connection_, name, &error);
  dbus_error_free(&error);
  return owned;
}

DBusMessage* SessionBus::Call(DBusMessage* call, std::string* error, int timeoutMs) {
  if (!call) return nullptr;
  if (!connection_) {
    dbus_message_unref(call);
    if (error) *error = why_;
    return nullptr;
  }
  DBusError failure;
  dbus_error_init(&failure);
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(connection_, call, timeoutMs, &failure);
  dbus_message_unref(call);
  if (!reply && error) *error = failure.message ? failure.message : "no answer";
  if (!reply && error && failure.name) *error = std::string(failure.name) + ": " + *error;
  dbus_error_free(&failure);
  // Waiting for the answer may have read other messages too, which the watch thread, not
  // woken for data already read, would leave queued: hand them out here (libdbus runs one
  // dispatch at a time).
  if (watch_) {
    while (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
  }
  return reply;
}

bool SessionBus::Send(DBusMessage* message) {
  if (!message) return false;
  const bool sent = connection_ && dbus_connection_send(connection_, message, nullptr);
  dbus_message_unref(message);
  if (sent) dbus_connection_flush(connection_);
  return sent;
}

bool SessionBus::AddMatch(const std::string& rule) {
  if (!connection_) return false;
  DBusError error;
  dbus_error_init(&error);
  dbus_bus_add_match(connection_, rule.c_str(), &error);
  const bool added = !dbus_error_is_set(&error);
  dbus_error_free(&error);
  return added;
}

void SessionBus::Watch(std::function<void(DBusMessage*)> onMessage, std::function<void()> onLost) {
  int fd = -1;
  if (!connection_ || watch_ || !dbus_connection_get_unix_fd(connection_, &fd)) return;
  onMessage_ = std::move(onMessage);
  onLost_ = std::move(onLost);
  dbus_connection_add_filter(connection_, OnMessage, &onMessage_, nullptr);
  Drain();  // what came in during the calls before the watch
  watch_ = std::make_unique<FdWatchThread>(fd, [this] { Drain(); }, [this] {
    if (onLost_) std::exchange(onLost_, {})();
  });
}

void SessionBus::StopWatching() {
  if (!watch_) return;
  watch_.reset();
  dbus_connection_remove_filter(connection_, OnMessage, &onMessage_);
}

void SessionBus::Drain() {
  dbus_connection_read_write(connection_, 0);
  while (dbus_connection_dispatch(connection_) == DBUS_DISPATCH_DATA_REMAINS) {
  }
  dbus_connection_flush(connection_);  // the answers the handlers sent
  if (!dbus_connection_get_is_connected(connection_) && onLost_) std::exchange(onLost_, {})();
}

}  // namespace orvo
