#pragma once
// Watching a directory on Linux with inotify: a file closed after writing, moved into or
// out of the directory, created or deleted is reported by name on the watch thread.
#include <memory>

#include "os/linux/fd_watch_thread.h"
#include "platform/directory_watch.h"

namespace orvo {

class InotifyDirectoryWatch : public DirectoryWatch {
 public:
  ~InotifyDirectoryWatch() override;
  bool Start(const std::filesystem::path& directory, Changed changed) override;
  void Stop() override;

 private:
  void ReadEvents();  // watch thread

  int fd_ = -1;
  Changed changed_;
  std::unique_ptr<FdWatchThread> thread_;
};

}  // namespace orvo
