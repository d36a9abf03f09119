#pragma once
// A top-level window of the test process itself, on a connection of its own: stands in
// for the driver's own windows (the editor, the tray menu) in focus tests.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <string>

namespace orvo::test {

class X11TestWindow {
 public:
  explicit X11TestWindow(const std::string& title) {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 300, 10, 200, 60, 0,
                                  BlackPixel(display_, screen), WhitePixel(display_, screen));
    XStoreName(display_, window_, title.c_str());
    const long pid = getpid();
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(display_, window_, StructureNotifyMask);
    XMapWindow(display_, window_);
    for (XEvent event;;) {  // wait until mapped, so that it can take the focus
      XNextEvent(display_, &event);
      if (event.type == MapNotify) break;
    }
  }
  ~X11TestWindow() {
    if (display_) XCloseDisplay(display_);
  }
  X11TestWindow(const X11TestWindow&) = delete;
  X11TestWindow& operator=(const X11TestWindow&) = delete;

  unsigned long Id() const { return window_; }

  void TakeFocus() {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
  }

 private:
  Display* display_ = nullptr;
  unsigned long window_ = 0;
};

}  // namespace orvo::test
