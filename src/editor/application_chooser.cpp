#include "editor/application_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace orvo {
namespace {

// Hides every file that is neither a folder nor executable.
class ExecutableFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files) return true;
    return OfferedAsApplication(files->fileInfo(files->index(sourceRow, 0, sourceParent)));
  }
};

}  // namespace

bool OfferedAsApplication(const QFileInfo& file) {
  return file.isDir() || (file.isFile() && file.isExecutable());
}

QString ApplicationStartFolder(const QString& previousChoice) {
  if (!previousChoice.isEmpty()) {
    const QString folder = QFileInfo(previousChoice).absolutePath();
    if (QFileInfo(folder).isDir()) return folder;
  }
  if (QFileInfo(QStringLiteral("/usr/bin")).isDir()) return QStringLiteral("/usr/bin");
  return QDir::homePath();
}

QString ChooseApplicationFile(QWidget* owner, const QString& previousChoice) {
  QFileDialog dialog(owner, QString(), ApplicationStartFolder(previousChoice), "Application Files (*)");
  // Qt's own dialog, as a native one would not apply the filter below.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setProxyModel(new ExecutableFilter(&dialog));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace orvo
