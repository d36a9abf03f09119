#pragma once
// The driver's icon in the Windows notification area: connected or disconnected, with the
// tip "Orvo" or "Orvo Disconnected" (and on its next line what keeps MIDI from flowing),
// and the menu "&Start Editor" (greyed: the editor comes with the Qt build), "&About",
// "&Exit" on either mouse button. The icon is put back when the taskbar is made again
// (Explorer restarted). Its hidden window closed (taskkill) ends the program as "&Exit"
// does. Lives on the main thread; every member runs there.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <functional>
#include <string>

#include "link/link_hooks.h"

namespace orvo {

class Win32Tray {
 public:
  // `exit` runs on the main thread when "&Exit" is chosen.
  explicit Win32Tray(std::function<void()> exit);
  ~Win32Tray();
  Win32Tray(const Win32Tray&) = delete;
  Win32Tray& operator=(const Win32Tray&) = delete;

  // Adds the icon in the disconnected state; false when the shell refused it.
  bool Show();
  void Remove();
  void ShowConnectionState(ConnectionState state);
  ConnectionState ShownState() const { return state_.load(); }
  // Why no MIDI goes anywhere (empty while a MIDI system is in use) and the Keysets'
  // ports that are not there (empty when all are): named in the tip.
  void ShowMidiState(const std::string& midiProblem, const std::string& absentPorts);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowMenu();
  void ShowAbout();
  void Update(DWORD how);  // NIM_ADD or NIM_MODIFY

  std::function<void()> exit_;
  HWND window_ = nullptr;
  UINT taskbarCreated_ = 0;
  HICON connectedIcon_ = nullptr;
  HICON disconnectedIcon_ = nullptr;
  bool wanted_ = false;  // Show ran, Remove did not
  bool shown_ = false;
  bool aboutOpen_ = false;
  std::atomic<ConnectionState> state_{ConnectionState::kDisconnected};
  std::string midiProblem_;  // "no MIDI system: WHY", or empty
  std::string absentPorts_;
};

}  // namespace orvo
