#pragma once
// Following the Keyset files while the program runs: a file of the settings directory
// changed by anyone but the driver itself (an editor, a copy, a checkout) is read again at
// once; the Keyset's ports are reopened when they changed and its mode is put in force
// when it is the active Keyset. A new file adds a Keyset; a removed file leaves its
// Keyset in memory until the next start. A file that is no regular file or too large is
// refused with one line; the settings directory going and coming back is said once each.
// Main thread, but for the watch's own callbacks.
#include <functional>
#include <memory>
#include <string>

#include "platform/directory_watch.h"
#include "platform/main_thread_poster.h"

namespace orvo {

class DeviceWriter;
struct EngineContext;
class KeysetFiles;
class MidiPorts;
class Keyset;
struct PreparedReload;

struct KeysetFollowerServices {
  KeysetFiles& Files;
  EngineContext& Engine;
  MidiPorts& Ports;
  DeviceWriter& Device;
  MainThreadPoster& MainThread;
  std::function<void(const std::string& line)> Say;  // the terminal or the monitor
  std::function<void(Keyset* keyset)> Changed;       // the editor shows the Keyset again
};

class KeysetFileFollower {
 public:
  KeysetFileFollower(KeysetFollowerServices services, std::unique_ptr<DirectoryWatch> watch);
  ~KeysetFileFollower();  // stops the watch: no change is taken up after this
  KeysetFileFollower(const KeysetFileFollower&) = delete;
  KeysetFileFollower& operator=(const KeysetFileFollower&) = delete;

  // Main thread: reads `fileName` again and does what its change asks.
  void TakeUp(const std::string& fileName);
  // Main thread: the same for a file read and parsed already.
  void TakeUp(PreparedReload& prepared);
  // Main thread: says that the settings directory went or came back.
  void SayPresence(bool present);

 private:
  KeysetFollowerServices services_;
  std::unique_ptr<DirectoryWatch> watch_;
  // Posted tasks find the follower through this, and do nothing once it is gone.
  std::shared_ptr<KeysetFileFollower*> self_ = std::make_shared<KeysetFileFollower*>(this);
};

}  // namespace orvo
