#pragma once
// What a connection or disconnection of the surface does to the rest of the program: the
// focus record, the focus finder thread and the tray icon. The application wires these to
// the real pieces; tests record the calls. Every call runs on the main thread.
#include <cstdint>

namespace orvo {

// Whether the surface is connected, as the tray icon shows it.
enum class ConnectionState : uint8_t { kDisconnected, kConnected };

class LinkHooks {
 public:
  virtual ~LinkHooks() = default;
  virtual void CreateFocusState() = 0;
  virtual void DestroyFocusState() = 0;
  virtual void ResumeFocusFinder() = 0;
  virtual void PauseFocusFinder() = 0;
  // The icon is replaced in two steps: the old one goes, then the new one is shown.
  virtual void RemoveTrayIcon() = 0;
  // The tray records the state once shown.
  virtual void ShowConnectionState(ConnectionState state) = 0;
  // The state the tray shows now.
  virtual ConnectionState ShownState() const = 0;
};

}  // namespace orvo
