#pragma once
// Being told when the files of a directory change: written and closed, moved in or out,
// or removed, by any process. A regular file is reported once its writer has closed it
// (or it was moved in whole), never at its creation, when it may still be empty; an entry
// that is no regular file (a link, a FIFO, a device) is reported as it appears. When the
// events could not all be kept (the kernel's queue overflowed), every file of the
// directory is reported. The directory itself removed or renamed away is told once, and
// when a directory appears under its name again it is followed again, told once, and
// every file in it is reported. Started and stopped on the main thread; the callbacks run
// on the watch's own thread, which they may keep busy (reading the file) but never on
// the main thread's behalf: what touches shared state is posted to the main thread.
#include <filesystem>
#include <functional>
#include <string>

namespace orvo {

class DirectoryWatch {
 public:
  // Watch thread: the name (without the directory) of a file that changed.
  using Changed = std::function<void(const std::string& fileName)>;
  // Watch thread: the directory went (false) or is there again (true).
  using Presence = std::function<void(bool present)>;

  virtual ~DirectoryWatch() = default;
  // Starts watching `directory`; false when it cannot be watched.
  virtual bool Start(const std::filesystem::path& directory, Changed changed, Presence presence) = 0;
  // Stops; no callback runs once this returns.
  virtual void Stop() = 0;
};

}  // namespace orvo
