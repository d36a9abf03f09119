#pragma once
// What a connection or disconnection of the surface does to the rest of the program: the
// focus record, the focus finder thread and the tray icon. The application wires these to
// the real pieces; tests record the calls. Every call runs on the main thread.
namespace orvo {

// Tray icons that show the connection state.
inline constexpr int kIconConnected = 130;
inline constexpr int kIconDisconnected = 131;

class LinkHooks {
 public:
  virtual ~LinkHooks() = default;
  virtual void CreateFocusState() = 0;
  virtual void DestroyFocusState() = 0;
  virtual void ResumeFocusFinder() = 0;
  virtual void PauseFocusFinder() = 0;
  // The icon is replaced in two steps: the old one goes, then the new one is shown.
  virtual void RemoveTrayIcon() = 0;
  // Shows kIconConnected or kIconDisconnected; the tray records the state once shown.
  virtual void ShowConnectionState(int icon) = 0;
  // The state the tray shows now: kIconConnected or kIconDisconnected.
  virtual int ConnectionState() const = 0;
};

}  // namespace orvo
