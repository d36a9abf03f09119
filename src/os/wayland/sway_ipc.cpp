#include "os/wayland/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace orvo {
namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr uint32_t kGetTree = 4;
constexpr int kAnswerTimeoutMs = 1000;  // sway answers in milliseconds; a hung one must not hold focus
constexpr int kMaxDepth = 64;

// Just enough of JSON to walk sway's tree: every object's "focused", "type", "pid",
// "app_id" and "name" members, the rest skipped.
class TreeReader {
 public:
  explicit TreeReader(const std::string& text) : text_(text) {}

  SwayFocusedWindow Run() {
    Value(0);
    return ok_ ? result_ : SwayFocusedWindow{};
  }

 private:
  struct Node {
    bool focused = false;
    bool window = false;  // a container that holds a view
    long pid = 0;
    std::string appId, name;
  };

  void Space() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_])) ++at_;
  }
  bool Take(char wanted) {
    Space();
    if (at_ < text_.size() && text_[at_] == wanted) return ++at_, true;
    return false;
  }
  bool Fail() { return ok_ = false; }

  bool String(std::string* out) {
    if (!Take('"')) return Fail();
    for (; at_ < text_.size() && text_[at_] != '"'; ++at_) {
      char c = text_[at_];
      if (c == '\\' && ++at_ < text_.size()) {
        c = text_[at_];
        if (c == 'u') {  // titles may carry any character; the names we compare are ASCII
          at_ += 4;
          c = '?';
        } else if (c == 'n') {
          c = '\n';
        } else if (c == 't') {
          c = '\t';
        }
      }
      if (out) out->push_back(c);
    }
    return at_ < text_.size() ? (++at_, true) : Fail();
  }

  // A scalar as written (number, true, false, null).
  std::string Scalar() {
    Space();
    const std::size_t start = at_;
    while (at_ < text_.size() && !std::strchr(",}] \t\r\n", text_[at_])) ++at_;
    if (at_ == start) Fail();
    return text_.substr(start, at_ - start);
  }

  bool Value(int depth, Node* owner = nullptr, const std::string& key = {}) {
    if (!ok_ || depth > kMaxDepth) return Fail();
    Space();
    if (at_ >= text_.size()) return Fail();
    const char c = text_[at_];
    if (c == '{') return Object(depth);
    if (c == '[') {
      ++at_;
      if (Take(']')) return true;
      do {
        if (!Value(depth + 1)) return false;
      } while (Take(','));
      return Take(']') || Fail();
    }
    if (c == '"') {
      std::string text;
      if (!String(&text)) return false;
      if (owner && key == "app_id") owner->appId = text;
      if (owner && key == "name") owner->name = text;
      if (owner && key == "type") owner->window = text == "con" || text == "floating_con";
      return true;
    }
    const std::string scalar = Scalar();
    if (owner && key == "focused") owner->focused = scalar == "true";
    if (owner && key == "pid") owner->pid = std::strtol(scalar.c_str(), nullptr, 10);
    return ok_;
  }

  bool Object(int depth) {
    ++at_;
    Node node;
    if (!Take('}')) {
      do {
        std::string key;
        if (!String(&key) || !Take(':') || !Value(depth + 1, &node, key)) return Fail();
      } while (Take(','));
      if (!Take('}')) return Fail();
    }
    // A focused node is a window when sway says it holds one: a container with a process.
    if (node.focused && node.window && node.pid > 0 && !result_.found)
      result_ = SwayFocusedWindow{true, static_cast<uint32_t>(node.pid), node.appId, node.name};
    return true;
  }

  const std::string& text_;
  std::size_t at_ = 0;
  bool ok_ = true;
  SwayFocusedWindow result_;
};

bool WaitFor(int fd, short events) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, kAnswerTimeoutMs) == 1 && (p.revents & events);
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    if (!WaitFor(fd, POLLOUT)) return false;
    const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReadAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    if (!WaitFor(fd, POLLIN)) return false;
    const ssize_t got = read(fd, data, size);
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

SwayFocusedWindow FocusedWindowInTree(const std::string& json) { return TreeReader(json).Run(); }

SwayIpc::SwayIpc(const char* socketPath) {
  const char* path = socketPath ? socketPath : std::getenv("SWAYSOCK");
  sockaddr_un address{};
  if (!path || !*path || std::strlen(path) >= sizeof address.sun_path) return;
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path);
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SwayIpc::~SwayIpc() {
  if (fd_ >= 0) close(fd_);
}

// A message is the magic, the payload's length and the message type (native byte order),
// then the payload; the answer has the same frame.
bool SwayIpc::Request(uint32_t type, std::string* reply) {
  char header[sizeof kMagic + 8];
  std::memcpy(header, kMagic, sizeof kMagic);
  const uint32_t none = 0;
  std::memcpy(header + sizeof kMagic, &none, 4);
  std::memcpy(header + sizeof kMagic + 4, &type, 4);
  if (!SendAll(fd_, header, sizeof header) || !ReadAll(fd_, header, sizeof header) ||
      std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    close(fd_);  // out of step with the stream: give up on it
    fd_ = -1;
    return false;
  }
  uint32_t length = 0;
  std::memcpy(&length, header + sizeof kMagic, 4);
  reply->resize(length);
  if (ReadAll(fd_, reply->data(), length)) return true;
  close(fd_);
  fd_ = -1;
  return false;
}

SwayFocusedWindow SwayIpc::FocusedWindow() {
  std::string tree;
  if (fd_ < 0 || !Request(kGetTree, &tree)) return {};
  return FocusedWindowInTree(tree);
}

}  // namespace orvo
