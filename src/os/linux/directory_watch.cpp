#include "os/linux/directory_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cstring>

namespace orvo {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDirectoryEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;

}  // namespace

InotifyDirectoryWatch::~InotifyDirectoryWatch() { Stop(); }

bool InotifyDirectoryWatch::Start(const fs::path& directory, Changed changed, Presence presence) {
  Stop();
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return false;
  directory_ = directory.has_filename() ? directory : directory.parent_path();
  directoryName_ = directory_.filename().string();
  directoryWatch_ = inotify_add_watch(fd_, directory_.c_str(), kDirectoryEvents);
  if (directoryWatch_ < 0) {
    Stop();
    return false;
  }
  // Without a watchable parent the directory's return goes unnoticed; its files are still followed.
  const fs::path parent = directory_.has_parent_path() ? directory_.parent_path() : fs::path(".");
  parentWatch_ = inotify_add_watch(fd_, parent.c_str(), kParentEvents);
  changed_ = std::move(changed);
  presence_ = std::move(presence);
  thread_ = std::make_unique<FdWatchThread>(fd_, [this] { ReadEvents(); });
  return thread_->Running();
}

void InotifyDirectoryWatch::Stop() {
  thread_.reset();  // joins: no callback after this
  if (fd_ >= 0) ::close(fd_);
  fd_ = directoryWatch_ = parentWatch_ = -1;
}

void InotifyDirectoryWatch::ReadEvents() {
  alignas(inotify_event) std::array<char, 4096> buffer;
  bool overflowed = false;
  for (;;) {
    const ssize_t length = ::read(fd_, buffer.data(), buffer.size());
    if (length <= 0) break;
    for (ssize_t at = 0; at < length;) {
      inotify_event event;
      std::memcpy(&event, buffer.data() + at, sizeof event);
      const std::string name = event.len > 0 ? std::string(buffer.data() + at + sizeof event) : std::string();
      at += static_cast<ssize_t>(sizeof event + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        overflowed = true;
      } else if (event.wd == directoryWatch_ && directoryWatch_ >= 0) {
        DirectoryEvent(event.mask, name);
      } else if (event.wd == parentWatch_ && name == directoryName_) {
        ParentEvent(event.mask, name);
      }
    }
  }
  // Events were lost: whatever they said, each file now is as the directory shows it.
  if (overflowed && directoryWatch_ >= 0) ReportEveryFile();
}

void InotifyDirectoryWatch::DirectoryEvent(uint32_t mask, const std::string& name) {
  if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
    Gone();
    return;
  }
  if (name.empty()) return;
  if (mask & IN_CREATE) {
    // A regular file is taken up when its writer closes it; anything else is complete now.
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(directory_ / name, ec);
    if (ec || fs::is_regular_file(status)) return;
  }
  changed_(name);
}

void InotifyDirectoryWatch::ParentEvent(uint32_t mask, const std::string&) {
  if (mask & (IN_CREATE | IN_MOVED_TO)) {
    if (directoryWatch_ < 0) TryReturn();
  } else if (mask & (IN_DELETE | IN_MOVED_FROM)) {
    Gone();
  }
}

void InotifyDirectoryWatch::Gone() {
  if (directoryWatch_ < 0) return;  // told once
  inotify_rm_watch(fd_, directoryWatch_);  // a renamed directory would otherwise still be followed
  directoryWatch_ = -1;
  if (presence_) presence_(false);
}

void InotifyDirectoryWatch::TryReturn() {
  directoryWatch_ = inotify_add_watch(fd_, directory_.c_str(), kDirectoryEvents);
  if (directoryWatch_ < 0) return;
  if (presence_) presence_(true);
  ReportEveryFile();  // written before the watch was in place
}

void InotifyDirectoryWatch::ReportEveryFile() {
  std::error_code ec;
  fs::directory_iterator it(directory_, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) changed_(it->path().filename().string());
}

}  // namespace orvo
