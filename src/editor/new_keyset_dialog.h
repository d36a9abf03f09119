#pragma once
// "&New Keyset": what a Keyset is and which application to choose, the programs running
// now (by window title and executable) beside the file chooser, and whether to start from
// a copy of DEFAULT. GUI thread.
#include <QDialog>
#include <QString>
#include <vector>

class QCheckBox;
class QListWidget;

namespace orvo {

// A program with a window on the desktop now.
struct RunningProgram {
  QString window;      // its window's title
  QString executable;  // its executable's path
};

// What the user chose: the application's executable (empty: cancelled) and whether the
// new Keyset starts with DEFAULT's mappings.
struct NewKeysetChoice {
  QString program;
  bool copyDefault = false;
};

inline constexpr char kNewKeysetExplanation[] =
    "A Keyset says what the surface does in one application: it is in force while that application's window "
    "is in front, and DEFAULT serves every application without one of its own. Choose the application: one "
    "that runs now, from the list, or its program file.";

class NewKeysetDialog : public QDialog {
  Q_OBJECT
 public:
  // `programs`: listed once each by executable, the driver itself left out.
  NewKeysetDialog(std::vector<RunningProgram> programs, QString previousChoice, QWidget* owner = nullptr);

  NewKeysetChoice Choice() const { return choice_; }
  QListWidget* Programs() const { return list_; }
  QCheckBox* CopyDefaultBox() const { return copyDefault_; }
  // Accepts with the listed program of `row`, as a double click does.
  void ChooseRow(int row);

 private:
  void ChooseFile();

  QString previousChoice_;
  QListWidget* list_;
  QCheckBox* copyDefault_;
  NewKeysetChoice choice_;
};

// Runs the dialog; the choice, with an empty program when cancelled.
NewKeysetChoice ChooseNewKeyset(QWidget* owner, std::vector<RunningProgram> programs, const QString& previousChoice);

}  // namespace orvo
