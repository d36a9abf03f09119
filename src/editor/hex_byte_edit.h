#pragma once
// A box for one byte in hexadecimal: typing lets through only hex digits (and editing
// keys such as Backspace); two characters at most; pasted or dropped text keeps only its
// hex digits. Text set by the program is left as it is, so " 9" (a byte below 0x10 as
// the panel shows it) stays. GUI thread.
#include <QLineEdit>

namespace orvo {

class HexByteEdit : public QLineEdit {
  Q_OBJECT

 public:
  static constexpr int kMaxChars = 2;

  explicit HexByteEdit(QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void KeepHexDigits();
};

}  // namespace orvo
