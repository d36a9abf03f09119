#include "editor/keyset_table_dialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "editor/key_map_panel.h"
#include "editor/label_text.h"
#include "editor/mapping_words.h"
#include "mapping/keyset.h"

namespace orvo {
namespace {

constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;

// Controls sort in ControlId order, the other columns by their text, ignoring case.
QList<QStandardItem*> RowOf(const ControlMapping& mapping) {
  const QString texts[] = {QString::fromLatin1(mapping.Descriptor.name),
                           KeystrokeText(mapping.KeyCode.load(), mapping.KeyFlags.load()), MidiRuleWords(mapping),
                           LabelForDisplay(mapping.Label.Get())};
  QList<QStandardItem*> row;
  for (const QString& text : texts) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(text.toCaseFolded(), kSortRole);
    item->setData(mapping.ControlId, kIdRole);
    row << item;
  }
  row[KeysetTableDialog::kControl]->setData(mapping.ControlId, kSortRole);
  return row;
}

}  // namespace

KeysetTableDialog::KeysetTableDialog(QWidget* parent)
    : QDialog(parent),
      model_(new QStandardItemModel(0, 4, this)),
      sorted_(new QSortFilterProxyModel(this)),
      filter_(new QLineEdit(this)),
      table_(new QTableView(this)),
      remove_(new QPushButton("Remove", this)) {
  model_->setHorizontalHeaderLabels({"Control", "Key", "MIDI", "Label"});
  sorted_->setSourceModel(model_);
  sorted_->setSortRole(kSortRole);
  sorted_->setFilterKeyColumn(-1);  // every column
  sorted_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  table_->setModel(sorted_);
  table_->setSortingEnabled(true);
  table_->sortByColumn(kControl, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);

  filter_->setPlaceholderText("Type to show only the rows that hold the text");
  filter_->setClearButtonEnabled(true);
  connect(filter_, &QLineEdit::textChanged, sorted_, &QSortFilterProxyModel::setFilterFixedString);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const ControlId id = ChosenControl();
    remove_->setEnabled(id != 0);
    if (id != 0) emit controlChosen(id);
  });
  remove_->setEnabled(false);
  connect(remove_, &QPushButton::clicked, this, [this] { RemoveChosen(); });
  auto* close = new QPushButton("Close", this);
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Filter:", this));
  top->addWidget(filter_, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(remove_);
  bottom->addStretch(1);
  bottom->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(table_, 1);
  layout->addLayout(bottom);
  resize(720, 420);
}

void KeysetTableDialog::ShowKeyset(Keyset* keyset) {
  keyset_ = keyset;
  setWindowTitle(QString::fromStdString((keyset ? keyset->Name : std::string("<No Active Keyset>")) + ": Keyset Table"));
  const ControlId chosen = ChosenControl();
  model_->removeRows(0, model_->rowCount());
  if (keyset) {
    keyset->ForEachMapping([this](ControlId, const ControlMapping& mapping) {
      if (MapsSomething(mapping)) model_->appendRow(RowOf(mapping));
    });
  }
  table_->resizeColumnsToContents();
  // The row chosen before stays chosen while it is there, without choosing it again.
  for (int row = 0; row < sorted_->rowCount() && chosen; ++row)
    if (sorted_->index(row, 0).data(kIdRole).toInt() == chosen) {
      const QSignalBlocker quiet(table_->selectionModel());
      table_->selectRow(row);
    }
  remove_->setEnabled(ChosenControl() != 0);
}

void KeysetTableDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ShowKeyset(keyset_);
  QDialog::changeEvent(event);
}

int KeysetTableDialog::RowCount() const { return sorted_->rowCount(); }

QString KeysetTableDialog::Cell(int row, int column) const { return sorted_->index(row, column).data().toString(); }

void KeysetTableDialog::ChooseRow(int row) { table_->selectRow(row); }

ControlId KeysetTableDialog::ChosenControl() const {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  return rows.isEmpty() ? 0 : rows.front().data(kIdRole).toInt();
}

void KeysetTableDialog::RemoveChosen() {
  const ControlId id = ChosenControl();
  ControlMapping* mapping = keyset_ && id ? keyset_->LookupMapping(id) : nullptr;
  if (!mapping) return;
  ClearMapping(*mapping);
  ShowKeyset(keyset_);
  emit mappingRemoved(id);
}

}  // namespace orvo
