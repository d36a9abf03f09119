#include "editor/hex_byte_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QKeySequence>

#include <algorithm>

namespace orvo {
namespace {

bool IsHexDigit(QChar ch) {
  return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

QString HexDigitsOf(const QString& text) {
  QString digits;
  for (QChar ch : text)
    if (IsHexDigit(ch)) digits.append(ch);
  return digits;
}

// Pasted text "0x1F" means 1F: its prefix's 0 would otherwise take one of the two places.
QString PastedHexDigits(const QString& pasted) {
  QString text = pasted.trimmed();
  if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) text.remove(0, 2);
  return HexDigitsOf(text);
}

}  // namespace

HexByteEdit::HexByteEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(kMaxChars);
  setAlignment(Qt::AlignCenter);
  // Whatever the user's editing leaves (a paste, a drop, a cut space) keeps only hex digits.
  connect(this, &QLineEdit::textEdited, this, &HexByteEdit::KeepHexDigits);
}

QSize HexByteEdit::sizeHint() const {
  const QSize base = QLineEdit::sizeHint();
  return {fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12, base.height()};
}

void HexByteEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    // Only the digits meet the 2-character limit: "0x1F" pastes as "1F", not "0x" cut short.
    insert(PastedHexDigits(QApplication::clipboard()->text()));
    return;
  }
  const QString text = event->text();
  const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint() &&
                              !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
  if (typesCharacter && !IsHexDigit(text.at(0))) {
    event->accept();  // dropped silently
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void HexByteEdit::KeepHexDigits() {
  const QString digits = HexDigitsOf(text());
  if (digits == text()) return;
  const int cursor = std::min<int>(cursorPosition(), static_cast<int>(digits.size()));
  setText(digits);
  setCursorPosition(cursor);
}

}  // namespace orvo
