// A small X11 client for the focus and keystroke tests: maps a window with the given
// title, takes the focus and prints one line per event on standard output:
//   ready window=0x400001 pid=1234
//   focus in | focus out
//   press keycode=38 keysym=a state=Shift+Control
//   release keycode=38 keysym=a state=Shift+Control
// Commands on standard input, one per line: "focus" takes the focus again, "quit" ends;
// end of input ends it too. Tests run copies of it under chosen executable names.
//   orvo-focus-client [--title TEXT] [--no-pid]   (--no-pid: leave _NET_WM_PID unset)
//   orvo-focus-client --admit-local-user NAME      adds NAME's local connections to the
//                                                  server's access list, and ends
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string StateText(unsigned int state) {
  static constexpr struct {
    unsigned int mask;
    const char* name;
  } kModifiers[] = {{ShiftMask, "Shift"}, {LockMask, "Lock"},   {ControlMask, "Control"},
                    {Mod1Mask, "Mod1"},   {Mod2Mask, "Mod2"},   {Mod3Mask, "Mod3"},
                    {Mod4Mask, "Mod4"},   {Mod5Mask, "Mod5"}};
  std::string text;
  for (const auto& modifier : kModifiers) {
    if (!(state & modifier.mask)) continue;
    if (!text.empty()) text += '+';
    text += modifier.name;
  }
  return text.empty() ? "none" : text;
}

void TakeFocus(Display* display, Window window) {
  // Ask the window manager (source 2: a pager, which managers obey), then set the input
  // focus ourselves for the case without one.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XRaiseWindow(display, window);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XFlush(display);
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // a focus request may race the mapping

}  // namespace

int main(int argc, char** argv) {
  std::string title = "orvo focus client";
  bool setPid = true;
  std::string admitUser;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--title") && i + 1 < argc) title = argv[++i];
    else if (!std::strcmp(argv[i], "--no-pid")) setPid = false;
    else if (!std::strcmp(argv[i], "--admit-local-user") && i + 1 < argc) admitUser = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--title TEXT] [--no-pid] | --admit-local-user NAME\n", argv[0]);
      return 2;
    }
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot open the X11 display\n");
    return 1;
  }
  if (!admitUser.empty()) {  // a refusal ends the program through Xlib's error handler
    XServerInterpretedAddress address{9, static_cast<int>(admitUser.size()), const_cast<char*>("localuser"),
                                      admitUser.data()};
    XHostAddress host{FamilyServerInterpreted, sizeof address, reinterpret_cast<char*>(&address)};
    XAddHost(display, &host);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
  }
  XSetErrorHandler(IgnoreErrors);
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, 240, 80, 0,
                                            BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, title.c_str());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XClassHint classHint{const_cast<char*>("orvo-focus-client"), const_cast<char*>("OrvoFocusClient")};
  XSetClassHint(display, window, &classHint);
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = True;
  XSetWMHints(display, window, &hints);
  if (setPid) {
    const long pid = getpid();
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  }
  XSelectInput(display, window, KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask);
  XMapWindow(display, window);
  XFlush(display);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  bool announced = false;
  std::string command;
  for (;;) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      switch (event.type) {
        case MapNotify:
          TakeFocus(display, window);
          break;
        case FocusIn:
          if (!announced) {
            std::printf("ready window=0x%lx pid=%ld\n", window, static_cast<long>(getpid()));
            announced = true;
          }
          std::printf("focus in\n");
          break;
        case FocusOut:
          std::printf("focus out\n");
          break;
        case KeyPress:
        case KeyRelease: {
          const KeySym keysym = XLookupKeysym(&event.xkey, 0);
          const char* name = keysym == NoSymbol ? "NoSymbol" : XKeysymToString(keysym);
          std::printf("%s keycode=%u keysym=%s state=%s\n", event.type == KeyPress ? "press" : "release",
                      event.xkey.keycode, name ? name : "NoSymbol", StateText(event.xkey.state).c_str());
          break;
        }
        default:
          break;
      }
    }
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) {
      char buffer[256];
      const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
      if (got <= 0) break;  // the test has gone
      command.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = command.find('\n')) != std::string::npos; command.erase(0, end + 1)) {
        const std::string line = command.substr(0, end);
        if (line == "quit") {
          XCloseDisplay(display);
          return 0;
        }
        if (line == "focus") TakeFocus(display, window);
      }
    }
  }
  XCloseDisplay(display);
  return 0;
}
