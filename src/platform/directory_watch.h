#pragma once
// Being told when the files of a directory change: written and closed, moved in or out,
// created or removed, by any process. Started and stopped on the main thread; the
// callback runs on the watch's own thread and must only post work to the main thread.
#include <filesystem>
#include <functional>
#include <string>

namespace orvo {

class DirectoryWatch {
 public:
  // Watch thread: the name (without the directory) of a file that changed.
  using Changed = std::function<void(const std::string& fileName)>;

  virtual ~DirectoryWatch() = default;
  // Starts watching `directory`; false when it cannot be watched.
  virtual bool Start(const std::filesystem::path& directory, Changed changed) = 0;
  // Stops; no callback runs once this returns.
  virtual void Stop() = 0;
};

}  // namespace orvo
