#pragma once
// Watching a directory on Windows with ReadDirectoryChangesW: a file written, created,
// renamed into or out of the directory or deleted is reported by name on the watch
// thread. When more changed than the watch could hold, every file of the directory is
// reported once. The directory itself removed is told once, and when it returns it is
// followed again, told once, and every file in it reported.
#include <memory>

#include "platform/directory_watch.h"

namespace orvo {

class WindowsDirectoryWatch : public DirectoryWatch {
 public:
  WindowsDirectoryWatch();
  ~WindowsDirectoryWatch() override;
  bool Start(const std::filesystem::path& directory, Changed changed, Presence presence) override;
  void Stop() override;

 private:
  struct Watch;  // the directory's handle and the watch thread
  std::unique_ptr<Watch> watch_;
};

}  // namespace orvo
