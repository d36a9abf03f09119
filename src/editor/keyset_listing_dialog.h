#pragma once
// "Display Keyset": every mapping of the Keyset on show, one sorted line each, the same
// lines `orvo --list-keysets` prints. Shows, changes nothing. GUI thread.
#include <QDialog>

class QListWidget;

namespace orvo {

class Keyset;

class KeysetListingDialog : public QDialog {
  Q_OBJECT

 public:
  // `shown` null: an empty list under "<No Active Keyset>: Keyset".
  KeysetListingDialog(const Keyset* shown, QWidget* parent);

  QListWidget* List() const { return list_; }

 private:
  QListWidget* list_;
};

}  // namespace orvo
