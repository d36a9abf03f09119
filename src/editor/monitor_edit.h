#pragma once
// The raw message monitor: one line per message, written where the caret is (the end,
// unless the user moved it). It keeps itself short: when it reaches 1000 lines the older
// half goes, and it never grows past 50000 characters. GUI thread.
#include <QPlainTextEdit>

namespace orvo {

inline constexpr int kMonitorTrimLines = 1000;
inline constexpr int kMonitorKeepFromLine = 500;
inline constexpr int kMonitorCharacterLimit = 50000;

class MonitorEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit MonitorEdit(QWidget* parent = nullptr);

  // Inserts `line` and a line break in place of the selection; while paused, the line is
  // only counted.
  void WriteLine(const QString& line);
  // "Pause": lines stop coming so that they can be read; going on says how many were skipped.
  void SetPaused(bool paused);
  bool IsPaused() const { return paused_; }
  // Lines as the box counts them: the empty line after the last line break counts too.
  int LineCount() const;

 private:
  void Trim();
  bool trimming_ = false;
  bool paused_ = false;
  int skipped_ = 0;
};

}  // namespace orvo
