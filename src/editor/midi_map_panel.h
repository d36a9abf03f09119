#pragma once
// The "MIDI Map" tab: how the selected control's message is rewritten before it is sent.
// "Native" sends it as the surface made it; "Custom 1:" replaces the status and/or the
// first data byte and keeps the control's value last; "Custom 2:" replaces the status
// and/or puts a given byte last, moving the value to the middle. An empty box keeps the
// surface's byte. Each row's boxes are enabled only while its button is chosen. GUI thread.
#include <QWidget>
#include <cstdint>

#include "mapping/map_type.h"

class QButtonGroup;
class QLabel;
class QRadioButton;

namespace orvo {

class EditorTarget;
class HexByteEdit;
class MessageService;
struct ControlMapping;

class MidiMapPanel : public QWidget {
  Q_OBJECT
 public:
  MidiMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent = nullptr);

  // The radio buttons, the enabled row and the boxes from a mapping's rewrite rule.
  void ShowMidiMap(const ControlMapping& mapping);
  // "Apply" while this tab is current.
  void ApplyMapping();

  QRadioButton* NativeButton() const { return native_; }
  QRadioButton* Custom1Button() const { return custom1_; }
  QRadioButton* Custom2Button() const { return custom2_; }
  // Custom 1: status, first data byte; Custom 2: status, last data byte.
  HexByteEdit* Custom1Status() const { return custom1Status_; }
  HexByteEdit* Custom1Data() const { return custom1Data_; }
  HexByteEdit* Custom2Status() const { return custom2Status_; }
  HexByteEdit* Custom2Data() const { return custom2Data_; }
  // What the rule shown sends for the selected control, e.g. "BF 04 vv → B0 07 vv";
  // empty with no control selected.
  QString Preview() const;

 private:
  struct Rule {
    MapType mapType = MapType::kNative;
    bool hasA = false;
    bool hasB = false;
    uint8_t dataA = 0;
    uint8_t dataB = 0;
  };
  Rule ChosenRule() const;
  void UpdatePreview();
  // Enables the chosen row's fields and disables the other's.
  void EnableChosenRow();

  EditorTarget& target_;
  MessageService& messages_;
  QButtonGroup* rule_;
  QRadioButton* native_;
  QRadioButton* custom1_;
  QRadioButton* custom2_;
  HexByteEdit* custom1Status_;
  HexByteEdit* custom1Data_;
  QLabel* custom1Value_;
  HexByteEdit* custom2Status_;
  QLabel* custom2Value_;
  HexByteEdit* custom2Data_;
  QLabel* preview_;
};

}  // namespace orvo
