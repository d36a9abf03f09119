#include "os/x11/window_list.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <climits>

#include "os/x11/x11_connection.h"

namespace orvo {
namespace {

// A property's items (at most `limit` of them) as raw bytes; empty when absent.
std::vector<unsigned char> ReadProperty(Display* display, Window window, Atom property, Atom type, long limit,
                                        int& format) {
  Atom actualType = None;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned char> bytes;
  if (XGetWindowProperty(display, window, property, 0, limit, False, type, &actualType, &format, &count, &after,
                         &data) == Success &&
      data) {
    const std::size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
    bytes.assign(data, data + count * unit);
  }
  if (data) XFree(data);
  return bytes;
}

std::string Executable(uint32_t processId) {
  char path[PATH_MAX];
  const std::string link = "/proc/" + std::to_string(processId) + "/exe";
  const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::vector<ListedWindow> ListProgramWindows(const char* displayName) {
  X11Connection connection(displayName);
  Display* display = connection.display();
  if (!display) return {};
  X11ErrorTrap trap(display);  // a window may go while it is read
  const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
  int format = 0;
  const std::vector<unsigned char> listBytes =
      ReadProperty(display, DefaultRootWindow(display), clientList, XA_WINDOW, 4096, format);
  std::vector<ListedWindow> windows;
  if (format != 32) return windows;
  const auto* ids = reinterpret_cast<const long*>(listBytes.data());
  for (std::size_t i = 0; i < listBytes.size() / sizeof(long); ++i) {
    const auto window = static_cast<Window>(ids[i]);
    ListedWindow listed;
    std::vector<unsigned char> name = ReadProperty(display, window, netWmName, utf8, 256, format);
    if (name.empty()) name = ReadProperty(display, window, XA_WM_NAME, XA_STRING, 256, format);
    listed.title.assign(name.begin(), name.end());
    const std::vector<unsigned char> pid = ReadProperty(display, window, netWmPid, XA_CARDINAL, 1, format);
    if (format == 32 && pid.size() >= sizeof(long)) listed.processId = static_cast<uint32_t>(*reinterpret_cast<const long*>(pid.data()));
    if (listed.processId) listed.executable = Executable(listed.processId);
    windows.push_back(std::move(listed));
  }
  return windows;
}

}  // namespace orvo
