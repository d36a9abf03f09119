#pragma once
// The "Key Map" tab: the selected control's name, its label, the captured keystroke and
// the three modifier boxes. GUI thread.
#include <QWidget>
#include <cstdint>

namespace orvo {

class EditorTarget;
class MessageService;

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
  // A stored combination into the key box and the modifier boxes.
  void ShowKeyText(int32_t keyCode, uint32_t keyFlags);
  // "Apply" while this tab is current.
  void ApplyMapping();
  // Gives the keyboard focus to the key box.
  void FocusKeyCapture();

 private:
  [[maybe_unused]] EditorTarget& target_;
  [[maybe_unused]] MessageService& messages_;
  QString selectedName_ = "<Selected Ctrl>";
  QString label_;
  QString keyText_;
};

}  // namespace orvo
