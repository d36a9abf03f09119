#include "os/x11/focus.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <unistd.h>

#include "os/linux/process_name.h"

namespace orvo {
namespace {

// Reads one 32-bit item of `property` on `window`; false when it is absent or the window
// has gone (the caller's trap catches the error).
bool ReadCardinal(Display* display, Window window, Atom property, Atom type, unsigned long* value) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType,
                                        &actualFormat, &items, &after, &data);
  const bool ok = status == Success && actualType == type && actualFormat == 32 && items == 1 && data;
  if (ok) *value = *reinterpret_cast<unsigned long*>(data);  // Xlib hands 32-bit items as long
  if (data) XFree(data);
  return ok;
}

}  // namespace

X11Foreground::X11Foreground(const char* displayName, X11ForegroundOptions options)
    : connection_(displayName), options_(options), ownProcessId_(static_cast<uint32_t>(getpid())) {
  Display* display = connection_.display();
  if (!display) {
    why_ = connection_.why() +
           ": the focused application cannot be followed, so the DEFAULT Keyset serves every "
           "application.";
    return;
  }
  root_ = DefaultRootWindow(display);
  netActiveWindow_ = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  netWmPid_ = XInternAtom(display, "_NET_WM_PID", False);
  wmState_ = XInternAtom(display, "WM_STATE", False);
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  haveXRes_ = XResQueryExtension(display, &eventBase, &errorBase) &&
              XResQueryVersion(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 2));
}

unsigned long X11Foreground::RequestsSent() const {
  return connection_.display() ? XNextRequest(connection_.display()) - 1 : 0;
}

bool X11Foreground::Available() { return connection_.display() != nullptr; }

std::string X11Foreground::Why() { return why_; }

ForegroundWindow X11Foreground::Foreground() {
  ForegroundWindow result;
  Display* display = connection_.display();
  if (!display) return result;
  X11ErrorTrap trap(display);
  const Window window = FocusedClientWindow();
  lastWindow_.store(window, std::memory_order_relaxed);
  if (window == None) return result;
  const uint32_t processId = WindowProcessId(window);
  if (processId == 0) return result;
  result.found = true;
  result.processId = processId;
  if (processId == ownProcessId_)
    result.ownerId = editorWindows_.Contains(window) ? kOwnerEditor : kOwnerOther;
  return result;
}

unsigned long X11Foreground::FocusedClientWindow() {
  if (options_.useActiveWindowProperty) {
    unsigned long active = None;
    // The property can outlive its window (a window manager that does not clear it);
    // a window that is gone says nothing, and its id may already name another client's.
    XWindowAttributes attributes;
    if (ReadCardinal(connection_.display(), root_, netActiveWindow_, XA_WINDOW, &active) && active != None &&
        XGetWindowAttributes(connection_.display(), active, &attributes) != 0)
      return active;
  }
  return InputFocusClientWindow();
}

// Without a window manager's answer: the input focus, which may be a child inside a
// client, or (with a reparenting manager) its frame. Walk up to the top, stopping at the
// window that carries WM_STATE (the client); from a frame, look down for it.
unsigned long X11Foreground::InputFocusClientWindow() {
  Display* display = connection_.display();
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (focus == None || focus == PointerRoot || focus == root_) return None;
  Window window = focus;
  for (int depth = 0; depth < 64; ++depth) {
    if (HasWmState(window)) return window;
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return None;
    if (children) XFree(children);
    if (parent == None || parent == rootReturn) break;
    window = parent;
  }
  const Window client = ClientBelow(window, 0);
  return client != None ? client : window;
}

unsigned long X11Foreground::ClientBelow(unsigned long window, int depth) {
  if (depth > 4) return None;
  Display* display = connection_.display();
  Window rootReturn = None, parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count)) return None;
  Window found = None;
  for (unsigned int i = 0; i < count && found == None; ++i)
    if (HasWmState(children[i])) found = children[i];
  for (unsigned int i = 0; i < count && found == None; ++i) found = ClientBelow(children[i], depth + 1);
  if (children) XFree(children);
  return found;
}

bool X11Foreground::HasWmState(unsigned long window) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(connection_.display(), window, wmState_, 0, 0, False,
                                        AnyPropertyType, &actualType, &actualFormat, &items, &after, &data);
  if (data) XFree(data);
  return status == Success && actualType != None;
}

uint32_t X11Foreground::WindowProcessId(unsigned long window) {
  unsigned long pid = 0;
  if (ReadCardinal(connection_.display(), window, netWmPid_, XA_CARDINAL, &pid) && pid != 0)
    return static_cast<uint32_t>(pid);
  return ProcessIdFromServer(window);
}

// The server knows which local client created a window; clients that do not set
// _NET_WM_PID are found that way.
uint32_t X11Foreground::ProcessIdFromServer(unsigned long window) {
  if (!haveXRes_) return 0;
  XResClientIdSpec wanted{window, XRES_CLIENT_ID_PID_MASK};
  long count = 0;
  XResClientIdValue* ids = nullptr;
  uint32_t pid = 0;
  if (XResQueryClientIds(connection_.display(), 1, &wanted, &count, &ids) == Success) {
    for (long i = 0; i < count && pid == 0; ++i) {
      const pid_t found = XResGetClientPid(&ids[i]);
      if (found > 0) pid = static_cast<uint32_t>(found);
    }
  }
  if (ids) XResClientIdsDestroy(count, ids);
  return pid;
}

std::string X11Foreground::ProcessBaseName(uint32_t processId) { return ProcessExecutableBaseName(processId); }

}  // namespace orvo
