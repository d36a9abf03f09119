#pragma once
// A private connection to the D-Bus session bus, for the desktops that are reached over
// it (KWin's scripting, GNOME's remote desktop and our shell extension): calls that wait
// for their answer, messages without one, and a watch thread that hands every incoming
// message to a handler. Each user opens its own, as with the Wayland connections.
#include <functional>
#include <memory>
#include <string>

struct DBusConnection;
struct DBusMessage;

namespace orvo {

class FdWatchThread;

class SessionBus {
 public:
  // Connects to $DBUS_SESSION_BUS_ADDRESS; on failure Connected() is false and Why() says why.
  SessionBus();
  ~SessionBus();  // stops the watch thread first
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  bool Connected() const { return connection_ != nullptr; }
  const std::string& Why() const { return why_; }
  std::string UniqueName() const;
  DBusConnection* Connection() const { return connection_; }

  // Whether some client owns `name` on the bus.
  bool HasOwner(const char* name);
  // Sends `call` (taken over) and waits for the answer; null on an error, `error` (when
  // given) then says it. The caller unrefs the answer. While the bus is watched, what
  // came in with the answer is handed to the handler on the calling thread.
  DBusMessage* Call(DBusMessage* call, std::string* error = nullptr, int timeoutMs = 3000);
  // Sends `message` (taken over) without waiting. Any thread.
  bool Send(DBusMessage* message);
  bool AddMatch(const std::string& rule);

  // From now on the watch thread reads the bus and calls `onMessage` with every message
  // that comes (method calls addressed to us, the signals matched). `onLost` runs once
  // when the bus goes away. Both on the watch thread.
  void Watch(std::function<void(DBusMessage*)> onMessage, std::function<void()> onLost = {});
  void StopWatching();

 private:
  void Drain();  // the watch thread

  DBusConnection* connection_ = nullptr;
  std::string why_;
  std::function<void(DBusMessage*)> onMessage_;
  std::function<void()> onLost_;
  std::unique_ptr<FdWatchThread> watch_;
};

}  // namespace orvo
