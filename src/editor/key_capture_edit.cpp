#include "editor/key_capture_edit.h"

#include <QKeyEvent>

namespace orvo {

KeyCaptureEdit::KeyCaptureEdit(QWidget* parent) : QLineEdit(parent), native_(NativeKeycodesOfPlatform()) {
  setReadOnly(true);
}

// Key events are taken here, before QWidget::event moves the focus on Tab and before the
// line edit lets Enter and Escape on to the dialog.
bool KeyCaptureEdit::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Claimed, so that no shortcut or menu mnemonic takes the key: it arrives as a key press.
      event->accept();
      return true;
    case QEvent::KeyPress: {
      const auto* key = static_cast<const QKeyEvent*>(event);
      if (const auto captured = CaptureFromKeyEvent(*key, native_))
        emit keyDown(captured->virtualKey, key->count(), captured->flagsWord);
      event->accept();
      return true;
    }
    case QEvent::KeyRelease:
      event->accept();
      return true;
    default:
      return QLineEdit::event(event);
  }
}

}  // namespace orvo
