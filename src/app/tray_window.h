#pragma once
// The program's main window on the desktop: the tray icon that shows whether the surface
// is connected, with its menu "&Start Editor", "&About", "&Exit". Where the desktop has
// no tray, a small window with the same state and commands takes its place. Lives on the
// GUI (main) thread; every member runs there.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <QString>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QSystemTrayIcon;
class QWidget;

#include "link/link_hooks.h"

namespace orvo {

// What the icon and its tip show: the surface's connection first, then whatever stops
// MIDI from flowing. The tip keeps "Orvo" / "Orvo Disconnected" on its first line and
// names the trouble on the next: "surface not connected", "no MIDI system: WHY",
// "port of SYNTH not connected (NAME)".
enum class TrayLook { kConnected, kDisconnected, kMidiTrouble };
struct TrayState {
  TrayLook look;
  QString tip;
  bool operator==(const TrayState&) const = default;
};
TrayState TrayStateOf(ConnectionState state, const std::string& midiProblem, const std::string& absentPorts);

class TrayWindow : public QObject {
  Q_OBJECT
 public:
  struct Commands {
    std::function<void()> startEditor;      // "&Start Editor"
    std::function<void()> exit;             // "&Exit"
    std::function<void()> checkConnection;  // on device changes
    // "Simulated &Surface": shows the simulated surface's window again; unset, no item.
    std::function<void()> showSimulatedSurface = nullptr;
  };
  // `useTray`: the desktop offers a tray; otherwise the small window is shown.
  TrayWindow(Commands commands, bool useTray);
  ~TrayWindow() override;

  // Shows the icon in the disconnected state, then runs the first connection check.
  void CreateTrayWindow();
  // Shows the icon of `state` and records it.
  void ShowConnectionState(ConnectionState state);
  // Why no MIDI goes anywhere (empty while a MIDI system is in use) and the Keysets'
  // ports that are not there (empty when all are): the icon and tip follow.
  void ShowMidiState(const std::string& midiProblem, const std::string& absentPorts);
  void RemoveTrayIcon();
  ConnectionState ShownState() const { return state_.load(); }
  // A device came or went: run the connection check.
  void OnDeviceChange();
  // The About box, modal (over `owner` when given); a second request brings the open one
  // to the front.
  void ShowAbout(QWidget* owner = nullptr);

  QString ToolTip() const;
  bool UsesTray() const { return tray_ != nullptr; }
  QMenu* Menu() const { return menu_.get(); }
  QWidget* StatusWindow() const { return statusWindow_.get(); }

 private:
  void BuildMenu();
  void BuildStatusWindow();
  void ShowState();

  Commands commands_;
  std::atomic<ConnectionState> state_{ConnectionState::kDisconnected};
  QIcon connectedIcon_;
  QIcon disconnectedIcon_;
  QIcon midiTroubleIcon_;
  std::string midiProblem_;
  std::string absentPorts_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QWidget> statusWindow_;
  QLabel* statusText_ = nullptr;
  QLabel* statusIcon_ = nullptr;
  QPointer<QDialog> about_;
};

}  // namespace orvo
