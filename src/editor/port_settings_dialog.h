#pragma once
// "Choose MIDI Ports, Orvo Device Mode": for one application's Keyset, the port on which
// the application receives MIDI from this program, the port on which it sends MIDI to this
// program, and the mode the surface takes while it has the focus. "Select" applies the
// choice and closes; "Close" applies nothing. Run modally over the editor; GUI thread,
// which is also where the MIDI ports are opened and closed.
//
// The port lists hold the names this program can open: "Receive from" (the application's
// MidiInPort, which this program opens as an output) lists the MIDI system's output
// devices, "Send to" (MidiOutPort, opened as an input) its input devices. A stored port
// that is not listed just now is added to its list as "NAME (not running)", selected.
#include <QDialog>
#include <QMessageBox>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "mapping/keyset.h"
#include "midi/midi_ports.h"
#include "platform/midi_system.h"

class QListWidget;
class QPushButton;
class QRadioButton;

namespace orvo {

class PortListBox;

// Asks `text` as a Yes/No question; true for Yes.
using YesNoQuestion = std::function<bool(const QString& text, QMessageBox::Icon icon)>;

struct PortSettingsServices {
  orvo::Mapper& Mapper;
  MidiSystem& Midi;
  MidiPorts& Ports;
  YesNoQuestion AskYesNo;  // empty: a message box over the dialog
  std::string MidiProblem = std::string();  // why no MIDI system is used, shown in the dialog
  // Asked again while the dialog is open, so that the reason goes when a MIDI system
  // starts; unset, MidiProblem stands.
  std::function<std::string()> CurrentMidiProblem = nullptr;
};

// The line under each list: which way the messages of its port flow.
inline constexpr char kReceiveFlowLine[] = "the surface's controls go to this port of the application";
inline constexpr char kSendFlowLine[] = "this port of the application lights the surface's lamps";
// How often the lists are read again while the dialog is open.
inline constexpr int kPortListRefreshMs = 1000;

// How a stored port that is not there now is listed: "NAME (not running)".
inline constexpr char kNotRunningSuffix[] = " (not running)";

// The questions, word for word.
inline constexpr char kNotLoadedQuestion[] =
    "The selected application isn't loaded.\nDiscard changes and close this dialog?";
inline constexpr char kInvalidModeQuestion[] =  // %1: the Keyset's name
    "Invalid device mode specified for %1.\nShould I use the default mode - Orvo Host Mode -?";
inline constexpr char kSamePortQuestion[] =
    "Both input & output, ports refer to the same MIDI.\r\nThis generates MIDI feedback resulting Windows "
    "crash.\r\nPlease choose different ports for input & output.\r\nDiscard changes and close this dialog?";

class PortSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `applications`: the texts of the editor's "&Apps" items. `shown`: the Keyset the
  // editor shows, selected on opening; may be null.
  PortSettingsDialog(PortSettingsServices services, const QStringList& applications, const Keyset* shown,
                     QWidget* parent = nullptr);

  // The controls, for the editor's tests.
  QListWidget* ApplicationList() const { return applications_; }
  PortListBox* ReceiveList() const { return receiveList_; }
  PortListBox* SendList() const { return sendList_; }
  // The button of a mode, 1 (Standard) to 4 (Enhanced).
  QRadioButton* ModeButton(int32_t mode) const { return modeButtons_.at(static_cast<std::size_t>(mode - 1)); }
  QPushButton* SelectButton() const { return selectButton_; }
  QPushButton* CloseButton() const { return closeButton_; }

  // "Select": checks the choice, applies it to the selected application's Keyset and
  // closes; a question may keep the dialog open or close it without applying anything.
  void Select();
  // Reads the MIDI system's devices again: ports that came are listed, ports that went
  // are not, and what was selected stays selected (as "not running" once it has gone).
  void RefreshPorts();

 private:
  void BuildControls();
  void ListPorts();
  static void ListAgain(QListWidget& list, const QStringList& names);
  void ShowMidiProblem();
  // The selections and the mode button of `keyset`.
  void ShowChoicesOf(const Keyset& keyset);
  // Selects `stored` in `list`, adding it as not running when it is not listed.
  static void ShowStored(QListWidget& list, const std::string& stored);
  // The port name of the selected entry; nothing when no entry is selected.
  static std::optional<std::string> ChosenName(const QListWidget& list);
  void OnApplicationChanged();
  // Leaves only the button of `mode` checked: Host for any mode without a button of its own.
  void CheckModeButton(int32_t mode);
  // The mode of the first checked button, Standard to Enhanced; 0 when none is checked.
  int32_t CheckedMode() const;
  bool Ask(const QString& text, QMessageBox::Icon icon);
  // Closes and reopens one side when `chosen` differs from the stored name.
  void ApplyInputSide(Keyset& keyset, const std::string& chosen);
  void ApplyOutputSide(Keyset& keyset, const std::string& chosen);

  PortSettingsServices services_;
  QListWidget* applications_ = nullptr;
  PortListBox* receiveList_ = nullptr;
  PortListBox* sendList_ = nullptr;
  std::array<QRadioButton*, 4> modeButtons_{};
  QPushButton* selectButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  class QLabel* problem_ = nullptr;
};

}  // namespace orvo
