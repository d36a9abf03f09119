#include "editor/monitor_edit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace orvo {

MonitorEdit::MonitorEdit(QWidget* parent) : QPlainTextEdit(parent) {
  // A line with its direction and decoding is long for the panel: it wraps rather than hides.
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  QFont mono("Monospace");
  mono.setStyleHint(QFont::TypeWriter);
  setFont(mono);
  connect(this, &QPlainTextEdit::textChanged, this, &MonitorEdit::Trim);
}

int MonitorEdit::LineCount() const { return document()->blockCount(); }

void MonitorEdit::SetPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (!paused_ && skipped_ > 0) WriteLine(QStringLiteral("(%1 lines skipped while paused)").arg(skipped_));
  skipped_ = 0;
}

void MonitorEdit::WriteLine(const QString& line) {
  if (paused_) {
    ++skipped_;
    return;
  }
  QTextCursor cursor = textCursor();
  cursor.insertText(line + QChar('\n'));
  setTextCursor(cursor);
}

// On every change: at 1000 lines everything before line 500 goes, and so do the older
// lines whenever the text passes 50000 characters (a few long messages can do that well
// before 1000 lines). The deletion changes the text again; that pass finds less and stops.
void MonitorEdit::Trim() {
  if (trimming_) return;
  const bool tooManyLines = LineCount() == kMonitorTrimLines;
  const bool tooLong = document()->characterCount() > kMonitorCharacterLimit;
  if (!tooManyLines && !tooLong) return;
  int keepFrom = kMonitorKeepFromLine;
  if (!tooManyLines) keepFrom = std::max(1, LineCount() / 2);
  trimming_ = true;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::Start);
  cursor.setPosition(document()->findBlockByNumber(keepFrom).position(), QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  trimming_ = false;
  QTextCursor end = textCursor();
  end.movePosition(QTextCursor::End);
  setTextCursor(end);
  ensureCursorVisible();
}

}  // namespace orvo
