#include "os/wayland/gnome_keys.h"

#include <dbus/dbus.h>

namespace orvo {
namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr uint16_t kLeftShift = 42;
constexpr uint16_t kFirstEvdev = 1;
constexpr uint16_t kLastEvdev = 247;

}  // namespace

MutterRemoteDesktopInjector::MutterRemoteDesktopInjector() {
  const std::string off = ": the surface's keystrokes are not typed into Wayland windows.";
  if (!bus_.Connected()) {
    why_ = bus_.Why() + off;
    return;
  }
  std::string error;
  DBusMessage* reply = bus_.Call(
      dbus_message_new_method_call(kService, "/org/gnome/Mutter/RemoteDesktop", kService, "CreateSession"), &error);
  const char* path = nullptr;
  if (reply && dbus_message_get_args(reply, nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID)) session_ = path;
  if (reply) dbus_message_unref(reply);
  if (session_.empty()) {
    why_ = "GNOME's remote desktop service gave no session (" + error + ")" + off;
    return;
  }
  if (!SessionCall("Start", &error)) {
    why_ = "GNOME's remote desktop session did not start (" + error + ")" + off;
    return;
  }
  // The first key of a session is lost: a Shift press and release take its place.
  Key(kLeftShift, true);
  Key(kLeftShift, false);
  available_ = true;
}

MutterRemoteDesktopInjector::~MutterRemoteDesktopInjector() {
  std::lock_guard lock(mutex_);
  if (available_ && strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
  std::string error;
  if (!session_.empty()) SessionCall("Stop", &error);
}

bool MutterRemoteDesktopInjector::SessionCall(const char* method, std::string* error) {
  DBusMessage* reply =
      bus_.Call(dbus_message_new_method_call(kService, session_.c_str(), kSessionInterface, method), error);
  if (reply) dbus_message_unref(reply);
  return reply != nullptr;
}

void MutterRemoteDesktopInjector::Key(uint16_t evdev, bool down) {
  DBusMessage* call =
      dbus_message_new_method_call(kService, session_.c_str(), kSessionInterface, "NotifyKeyboardKeycode");
  if (!call) return;
  const uint32_t keycode = evdev;
  const dbus_bool_t pressed = down ? TRUE : FALSE;
  dbus_message_append_args(call, DBUS_TYPE_UINT32, &keycode, DBUS_TYPE_BOOLEAN, &pressed, DBUS_TYPE_INVALID);
  dbus_message_set_no_reply(call, TRUE);
  bus_.Send(call);
}

void MutterRemoteDesktopInjector::SendInput(const KeyboardInput* inputs, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!available_ || count == 0) return;
  if (!strokes_.Plan(inputs, count, kFirstEvdev, kLastEvdev)) return;
  for (const KeyStrokes::Step& step : strokes_.Steps()) {
    Key(step.evdev, step.down);
    strokes_.Typed(step);
  }
  if (strokes_.AnyDown()) strokes_.ReleaseAll([&](uint16_t evdev) { Key(evdev, false); });
}

}  // namespace orvo
