#pragma once
// "Keyset Table": the mappings of the Keyset on show that do something (a keystroke, a
// label or a MIDI rule), one row each with the control, its keystroke, what its MIDI rule
// sends and its label. Sorted by a click on a heading, filtered by the text typed above
// it. Choosing a row selects its control in the editor; "Remove" makes the mapping blank
// (saved with the Keyset, as every edit is). Stays open beside the editor. GUI thread.
#include <QDialog>

#include "protocol/control_table.h"

class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace orvo {

class Keyset;

class KeysetTableDialog : public QDialog {
  Q_OBJECT
 public:
  enum Column : int { kControl = 0, kKey = 1, kMidi = 2, kLabel = 3 };

  explicit KeysetTableDialog(QWidget* parent);

  // Fills the table again from `keyset` (null: empty); the filter and sort stay.
  void ShowKeyset(Keyset* keyset);

  // The rows as shown (filtered and sorted), for the tests.
  int RowCount() const;
  QString Cell(int row, int column) const;
  QLineEdit* Filter() const { return filter_; }
  QTableView* Table() const { return table_; }
  QPushButton* RemoveButton() const { return remove_; }
  // Selects the shown row, as a click does.
  void ChooseRow(int row);

 signals:
  // A row was chosen: the editor selects its control.
  void controlChosen(orvo::ControlId id);
  // A mapping was made blank: the editor shows it again.
  void mappingRemoved(orvo::ControlId id);

 protected:
  // Coming back to the table shows what the editor stored meanwhile.
  void changeEvent(QEvent* event) override;

 private:
  void RemoveChosen();
  ControlId ChosenControl() const;

  Keyset* keyset_ = nullptr;
  QStandardItemModel* model_;
  QSortFilterProxyModel* sorted_;
  QLineEdit* filter_;
  QTableView* table_;
  QPushButton* remove_;
};

}  // namespace orvo
