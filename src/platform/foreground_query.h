#pragma once
// Which window has the focus: its process, and for a window of this program, whether it
// belongs to the editor. Called on the focus finder thread.
#include <cstdint>
#include <functional>
#include <string>

namespace orvo {

// Owner ids for windows of this program's own process (ignored for other processes).
inline constexpr uint32_t kOwnerOther = 0;   // the tray menu, the About box, ...
inline constexpr uint32_t kOwnerEditor = 1;  // the editor's window or one of its dialogs
inline constexpr uint32_t kOwnerMain = 2;    // the thread that ran the connection

struct ForegroundWindow {
  bool found = false;  // false: no focused window, or it could not be asked
  uint32_t processId = 0;
  uint32_t ownerId = kOwnerOther;
  // Where the window's process is not known (processId 0): the application's name as the
  // windowing system gives it, cut like an executable's base name; empty otherwise.
  std::string name;
};

class ForegroundQuery {
 public:
  virtual ~ForegroundQuery() = default;
  // False where focus cannot be followed at all (no display); Why() then says so.
  virtual bool Available() = 0;
  virtual std::string Why() = 0;
  virtual ForegroundWindow Foreground() = 0;
  // The process's executable base name cut at its first '.', or empty.
  virtual std::string ProcessBaseName(uint32_t processId) = 0;
  // Where the windowing system tells focus changes as they happen: `changed` is to run
  // after each (on the platform's own thread; empty: stop calling), and the result says
  // whether every change is told, so that no polling is needed. Returns at once once no
  // call of the previous `changed` runs any more.
  virtual bool ReportChanges(std::function<void()> changed) {
    (void)changed;
    return false;
  }
};

}  // namespace orvo
