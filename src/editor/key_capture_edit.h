#pragma once
// The read-only box in which the user presses the keystroke to assign. Every key-down,
// Alt combinations, F10, Tab, Enter, Escape and the arrows included, is captured as a key
// instead of typing, moving the focus, firing a shortcut or ending the dialog; key-ups are
// swallowed. GUI thread.
#include <QLineEdit>

#include <cstdint>

#include "editor/key_event_codes.h"

namespace orvo {

class KeyCaptureEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit KeyCaptureEdit(QWidget* parent = nullptr);

  // How to read the native key numbers of key events; the platform's by default.
  void SetNativeKeycodes(NativeKeycodes native) { native_ = native; }

 signals:
  // A key went down: its virtual-key code, the repeat count and the keyboard flags word.
  void keyDown(int virtualKey, int repeatCount, uint32_t flagsWord);

 protected:
  bool event(QEvent* event) override;

 private:
  NativeKeycodes native_;
};

}  // namespace orvo
