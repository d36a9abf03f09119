#pragma once
// Watching a directory on Linux with inotify: the directory itself for its files, and its
// parent for the directory's own going and coming back under its name.
#include <memory>
#include <string>

#include "os/linux/fd_watch_thread.h"
#include "platform/directory_watch.h"

namespace orvo {

class InotifyDirectoryWatch : public DirectoryWatch {
 public:
  ~InotifyDirectoryWatch() override;
  bool Start(const std::filesystem::path& directory, Changed changed, Presence presence) override;
  void Stop() override;

 private:
  // Watch thread (and Start, before the thread runs).
  void ReadEvents();
  void DirectoryEvent(uint32_t mask, const std::string& name);
  void ParentEvent(uint32_t mask, const std::string& name);
  void Gone();
  void TryReturn();
  void ReportEveryFile();

  int fd_ = -1;
  int directoryWatch_ = -1;  // -1 while the directory is away
  int parentWatch_ = -1;
  std::filesystem::path directory_;
  std::string directoryName_;
  Changed changed_;
  Presence presence_;
  std::unique_ptr<FdWatchThread> thread_;
};

}  // namespace orvo
