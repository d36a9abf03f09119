#pragma once
// The "Key Map" tab: the selected control's name, its label, the captured keystroke and
// the three modifier boxes. A key pressed in the key box is stored into the selected
// control's mapping at once; "Apply" stores the label and checks that a key is assigned.
// GUI thread.
#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orvo {

class EditorTarget;
class KeyCaptureEdit;
class MessageService;

// A stored combination as the key box shows it ("Ctrl+Shft+A"); empty for none.
QString KeystrokeText(int32_t keyCode, uint32_t keyFlags);

// Which of Shift, Ctrl and Alt were held down as the key being captured went down.
using ModifierQuery = std::function<Qt::KeyboardModifiers()>;

class KeyMapPanel : public QWidget {
  Q_OBJECT
 public:
  KeyMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent = nullptr);

  // The selected control's name ("<Selected Ctrl>" until a control is shown).
  void SetSelectedName(const QString& name);
  QString SelectedName() const;
  void SetLabel(const QString& label);
  QString Label() const;
  // Empties the key box; the modifier boxes keep their state.
  void ClearKeyText();
  QString KeyText() const;
  // Clears the three modifier boxes.
  void ClearModifiers();
  // A stored combination into the key box and the modifier boxes.
  void ShowKeyText(int32_t keyCode, uint32_t keyFlags);
  // "Apply" while this tab is current.
  void ApplyMapping();
  // Gives the keyboard focus to the key box.
  void FocusKeyCapture();

  // A key-down in the key box (also sent by a modifier box's click with the modifier's
  // virtual key and flags word 0): stores it into the selected control's mapping.
  void CaptureKey(int virtualKey, int repeatCount, uint32_t flagsWord);

  // Where the held modifiers are read; the platform's keyboard state by default.
  void SetModifierQuery(ModifierQuery query) { heldModifiers_ = std::move(query); }

  KeyCaptureEdit* KeyBox() const { return keyBox_; }
  QLineEdit* LabelBox() const { return labelBox_; }
  QCheckBox* ShiftBox() const { return shiftBox_; }
  QCheckBox* AltBox() const { return altBox_; }
  QCheckBox* CtrlBox() const { return ctrlBox_; }

 signals:
  // A keystroke or a label was stored into the selected control's mapping.
  void mappingStored();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ModifierBoxClicked(int virtualKey);
  void Tell(const char* text);

  EditorTarget& target_;
  MessageService& messages_;
  ModifierQuery heldModifiers_;
  QLabel* selectedName_;
  QLineEdit* labelBox_;
  KeyCaptureEdit* keyBox_;
  QCheckBox* shiftBox_;
  QCheckBox* altBox_;
  QCheckBox* ctrlBox_;
};

}  // namespace orvo
