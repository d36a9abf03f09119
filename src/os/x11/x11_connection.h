#pragma once
// One Xlib connection of our own, and a trap that turns X errors on it into results.
// Each user (focus queries, keystrokes) opens its own connection, so that the threads
// never share one. Xlib's default error handler ends the program on a request for a
// window that has just gone away; inside a trap the error is recorded instead.
#include <string>

// Xlib's Display, declared without Xlib.h: its macros (None, True, Status) must not leak
// into the code that includes this header.
struct _XDisplay;

namespace orvo {

class X11Connection {
 public:
  // Opens `displayName`, or $DISPLAY when it is null. On failure display() is null and
  // why() says, in one line, what is missing.
  explicit X11Connection(const char* displayName);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  _XDisplay* display() const { return display_; }
  const std::string& why() const { return why_; }
  const std::string& name() const { return name_; }

 private:
  _XDisplay* display_ = nullptr;
  std::string why_;
  std::string name_;
};

// Records the X errors raised on `display` by the calling thread while it lives; errors
// on other connections go to the handler that was installed before ours. Traps nest.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(_XDisplay* display);
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // The first error code seen so far (0: none). With `sync`, waits for the server to
  // answer every request sent so far first (one round trip).
  int Error(bool sync);

  // The innermost trap of the calling thread on `display`, or null; for the error
  // handler, which runs on the thread whose request failed.
  static X11ErrorTrap* InnermostFor(_XDisplay* display);
  void Record(int errorCode) {
    if (error_ == 0) error_ = errorCode;
  }

 private:
  _XDisplay* display_;
  int error_ = 0;
  X11ErrorTrap* outer_;
};

}  // namespace orvo
