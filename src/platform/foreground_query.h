#pragma once
// Which window has the focus: its process, and for a window of this program, whether it
// belongs to the editor. Called on the focus finder thread.
#include <cstdint>
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
};

}  // namespace orvo
