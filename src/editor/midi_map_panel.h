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
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

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
  // The same in words, e.g. "CC 7, ch 1"; empty with no control selected.
  QString PreviewWords() const { return previewWords_; }

  // The message to send in a musician's terms, kept in step with the hexadecimal boxes of
  // the chosen Custom row (Custom 1 when "Native" is chosen: setting them chooses it).
  QComboBox* KindBox() const { return kind_; }
  QSpinBox* ChannelBox() const { return channel_; }
  QSpinBox* NumberBox() const { return number_; }  // -1: as it is
  QLabel* NoteLabel() const { return noteName_; }
  // "Learn": while it is down, the next message that arrives is taken as the target.
  QPushButton* LearnButton() const { return learn_; }
  bool IsLearning() const;
  // A message arrived (status, first data byte): taken when learning; true if it was.
  bool Learn(uint8_t status, uint8_t data1);

 signals:
  // The rule shown was stored into a mapping.
  void mappingApplied();

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
  // The status and number boxes the musician's fields write: those of the chosen Custom row.
  HexByteEdit* StatusBoxInUse() const;
  HexByteEdit* NumberBoxInUse() const;
  // The musician's fields from the boxes, and the boxes from the fields.
  void ShowWordsOfBoxes();
  void WriteBoxesFromWords();

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
  QString previewHex_;
  QString previewWords_;
  QComboBox* kind_;
  QSpinBox* channel_;
  QSpinBox* number_;
  QLabel* noteName_;
  QPushButton* learn_;
  bool syncing_ = false;  // the fields and the boxes are being brought in step
};

}  // namespace orvo
