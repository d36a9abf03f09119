#include "editor/new_keyset_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include "editor/application_chooser.h"

namespace orvo {

NewKeysetDialog::NewKeysetDialog(std::vector<RunningProgram> programs, QString previousChoice, QWidget* owner)
    : QDialog(owner),
      previousChoice_(std::move(previousChoice)),
      list_(new QListWidget(this)),
      copyDefault_(new QCheckBox("Start from a copy of DEFAULT", this)) {
  setWindowTitle("New Keyset");
  auto* explanation = new QLabel(kNewKeysetExplanation, this);
  explanation->setWordWrap(true);
  const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
  QSet<QString> listed;
  for (const RunningProgram& program : programs) {
    if (program.executable.isEmpty() || program.executable == own || listed.contains(program.executable)) continue;
    listed.insert(program.executable);
    auto* item = new QListWidgetItem(
        QString("%1  \u2014  %2").arg(program.window.isEmpty() ? QString("(no title)") : program.window,
                                      QFileInfo(program.executable).fileName()),
        list_);
    item->setData(Qt::UserRole, program.executable);
    item->setToolTip(program.executable);
  }
  if (list_->count() == 0) list_->addItem(new QListWidgetItem("(no program with a window is listed)"));
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { ChooseRow(list_->row(item)); });
  copyDefault_->setToolTip("The new Keyset begins with every mapping of DEFAULT, to change from there");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* file = buttons->addButton("Program file\u2026", QDialogButtonBox::ActionRole);
  connect(file, &QPushButton::clicked, this, [this] { ChooseFile(); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (list_->currentRow() >= 0) ChooseRow(list_->currentRow());
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation);
  layout->addWidget(new QLabel("Running now (window \u2014 program):", this));
  layout->addWidget(list_, 1);
  layout->addWidget(copyDefault_);
  layout->addWidget(buttons);
  resize(560, 420);
}

void NewKeysetDialog::ChooseRow(int row) {
  const QListWidgetItem* item = list_->item(row);
  const QString program = item ? item->data(Qt::UserRole).toString() : QString();
  if (program.isEmpty()) return;
  choice_ = {program, copyDefault_->isChecked()};
  accept();
}

void NewKeysetDialog::ChooseFile() {
  const QString program = ChooseApplicationFile(this, previousChoice_);
  if (program.isEmpty()) return;
  choice_ = {program, copyDefault_->isChecked()};
  accept();
}

NewKeysetChoice ChooseNewKeyset(QWidget* owner, std::vector<RunningProgram> programs, const QString& previousChoice) {
  NewKeysetDialog dialog(std::move(programs), previousChoice, owner);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.Choice();
}

}  // namespace orvo
