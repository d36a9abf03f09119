#pragma once
// The editor's main window: the surface picture with the tabbed panel in its top right
// corner, the menu bar, and the raw message monitor. It shows one Keyset at a time,
// selects controls by click (Host mode) or by touch on the surface, and lights the
// selected control's lamp. Every member runs on the GUI thread; the engine's threads
// reach it only through queued calls (see the application's editor session).
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <span>
#include <string>

#include "editor/editor_commands.h"
#include "editor/editor_target.h"
#include "editor/keyset_table_dialog.h"
#include "editor/new_keyset_dialog.h"
#include "editor/status_line.h"
#include "protocol/control_table.h"

class QAction;
class QLabel;
class QActionGroup;
class QMenu;
class QMenuBar;
class QPushButton;
class QTabBar;

namespace orvo {

class DeviceWriter;
class KeyMapPanel;
class KeysetFiles;
class MessageService;
class MidiMapPanel;
class MidiPorts;
class MidiSystem;
class MonitorEdit;
class SurfacePicture;
struct EngineContext;

// What the editor uses of the rest of the program.
struct EditorServices {
  EngineContext& engine;      // the Keysets and the protocol state
  DeviceWriter& device;       // lamp and Bank writes to the surface
  KeysetFiles& files;         // "&Save Keyset", "Save &All Keysets", saving at close
  MessageService& messages;   // the boxes with an OK button
  MidiSystem* midi = nullptr;  // "MIDI Ports" lists its devices and opens the Keysets'
  MidiPorts* ports = nullptr;  // ports with these; without them it does nothing
  // "&About Orvo Software"; unset, it does nothing.
  std::function<void(QWidget* owner)> about = nullptr;
  // "&New Keyset"'s choice of application, empty when cancelled; unset, its dialog.
  std::function<NewKeysetChoice(QWidget* owner)> chooseApplication = nullptr;
  // The programs with a window now, which "&New Keyset" offers; unset, none.
  std::function<std::vector<RunningProgram>()> runningPrograms = nullptr;
  // The executable's name of a process, for the status line; unset, none is shown.
  std::function<std::string(uint32_t processId)> programName = nullptr;
};

// The tabs, in their order.
enum EditorTab : int { kTabKeyMap = 0, kTabMidiMap = 1, kTabSpecial = 2, kTabRawMsgs = 3 };

class EditorDialog : public QDialog, public EditorTarget {
  Q_OBJECT
 public:
  explicit EditorDialog(EditorServices services, QWidget* parent = nullptr);
  ~EditorDialog() override;

  // EditorTarget.
  Keyset* ShownKeyset() const override { return shown_; }
  const ControlDescriptor* SelectedControl() const override { return selected_; }

  // A control event or a short message from an application's input: `message` holds the
  // three bytes and the flags in bits 24-31. `row` is the control (may be null); with
  // kNotifyFromInput, `keyset` is the input port's Keyset (may be null).
  void EditorShortMessage(const ControlDescriptor* row, const Keyset* keyset, uint32_t message);
  // A long message of `keyset` (may be null): its bytes and the header's flags.
  void EditorLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags);

  // Makes `keyset` the one shown and edited; nullptr changes nothing.
  void ShowKeyset(Keyset* keyset);
  // The title again for the Keyset on show (the surface's mode may have changed).
  void RefreshTitle();
  // Whether the surface is connected; the title follows at once. Until told, the editor
  // takes it to be connected.
  void ShowConnection(bool connected);
  // What stops MIDI from flowing, for the status line and "MIDI Ports": why no MIDI system
  // is used (empty while one is) and the Keysets' ports that are not there.
  void ShowMidiState(const std::string& problem, const std::string& absentPorts);

  // Selecting: the click on a picture button, and the selection with its flags
  // (kNotifyLamp, kNotifyCreate, kNotifySelect). SelectControl returns 1 when the
  // selection changed.
  void PickControl(ControlId id);
  int SelectControl(ControlId id, uint32_t flags);

  // "&Apps": built once from the Keysets that exist; later Keysets are appended.
  void BuildAppsMenu();
  void AppendToAppsMenu(Keyset& keyset);
  QStringList AppNames() const;
  bool HasAppsItem(const Keyset& keyset) const;

  // "&New Keyset", "&Save Keyset", "Save &All Keysets".
  void NewKeyset();
  void SaveShownKeyset();
  void SaveAllKeysets();

  // For tests and the session.
  QAction* Command(EditorCommand command) const;
  QMenuBar* MenuBar() const { return menuBar_; }
  QMenu* AppsMenu() const { return appsMenu_; }
  SurfacePicture* Picture() const { return picture_; }
  QTabBar* Tabs() const { return tabs_; }
  QPushButton* ApplyButton() const { return apply_; }
  KeyMapPanel* KeyMap() const { return keyMap_; }
  MidiMapPanel* MidiMap() const { return midiMap_; }
  MonitorEdit* Monitor() const { return monitor_; }
  QPushButton* PauseButton() const;
  QPushButton* ClearButton() const;
  // "Keyset Table": opens it (or brings it up) beside the editor; null until opened.
  void ShowKeysetTable();
  KeysetTableDialog* KeysetTable() const { return table_.data(); }
  // The line under the panel: what to do first, or why a click selected nothing.
  QString Hint() const;
  // The line under the picture: what the selected control does in the Keyset on show,
  // or what "Apply" just stored.
  QString Summary() const;
  // Whether a Keyset holds changes not yet written; the title then ends in " *".
  bool HasUnsavedChanges() const { return unsaved_; }
  // The status line at the foot; RefreshStatus reads it again at once.
  QString StatusText() const;
  void RefreshStatus();
  void SelectTab(int tab);

  // Ends the editor, after saving every Keyset (every way of closing comes here).
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildPanel();
  void PlacePanel();
  void OnTabChanged(int tab);
  void ApplyMapping();
  void ShowKeysetListing();
  void RefreshKeysetTable();
  void ChooseFromTable(ControlId id);
  void ShowPortSettings();
  void OnAppsCommand(QAction* action);
  void ShowControl(ControlId id, bool create);
  void ShowLayerOf(ControlId id);
  void SetControlLamp(ControlId id, bool on);
  void WriteMonitorLine(const std::string& line);
  void ShowHint();
  void StartStatusLine();
  // The marks of the mapped controls on the picture, from the Keyset on show.
  void RefreshMarks();
  void ShowSummary(const QString& lead = {});
  // ShowSummary once the event in hand is handled: a touch must not keep the read thread
  // waiting for a line of text.
  void ShowSummaryLater();
  void RefreshUnsaved();
  // Something was stored into the selected control's mapping: the picture, the line under
  // it, the table and the title show it at once.
  void ShowStored();
  std::string ProgramOf(uint32_t processId);
  QAction* AddCommand(QMenu* menu, const char* text, EditorCommand command, bool enabled);
  void AddAppsItem(QMenu* apps, Keyset& keyset, int commandId);

  EditorServices services_;
  Keyset* shown_ = nullptr;
  const ControlDescriptor* selected_ = nullptr;
  bool saved_ = false;
  bool connected_ = true;
  bool toldNotConnected_ = false;  // a click while unplugged has been answered
  QString lastApplication_;  // where "&New Keyset" opens next

  QMenuBar* menuBar_ = nullptr;
  QMenu* appsMenu_ = nullptr;
  QActionGroup* appsGroup_ = nullptr;
  std::map<EditorCommand, QAction*> commands_;
  std::unordered_map<const Keyset*, int> appsCommands_;  // each Keyset's "&Apps" item
  SurfacePicture* picture_ = nullptr;
  QWidget* panel_ = nullptr;
  QTabBar* tabs_ = nullptr;
  KeyMapPanel* keyMap_ = nullptr;
  MidiMapPanel* midiMap_ = nullptr;
  MonitorEdit* monitor_ = nullptr;
  QWidget* monitorPage_ = nullptr;  // the monitor with its "Pause" and "Clear"
  QPushButton* apply_ = nullptr;
  QLabel* hint_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* summary_ = nullptr;
  QWidget* summaryHolder_ = nullptr;
  bool summaryDue_ = false;
  bool unsaved_ = false;
  std::string midiProblem_;
  std::string absentPorts_;
  QPointer<KeysetTableDialog> table_;
  SurfaceStatus shownStatus_;
  uint32_t namedProcess_ = 0;  // the process ProgramOf last looked up, and its name
  std::string namedProgram_;
};

// The editor's title for a Keyset and the surface's mode.
QString EditorTitle(const Keyset& keyset, int32_t deviceMode);

}  // namespace orvo
