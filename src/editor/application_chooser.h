#pragma once
// The file dialog of "&New Keyset": the user picks an application's executable. Linux
// executables carry no extension, so the dialog offers folders and executable files, and
// starts where applications live. GUI thread.
#include <QFileInfo>
#include <QString>

class QWidget;

namespace orvo {

// Runs the dialog over `owner`, starting in the folder of `previousChoice` (when it
// exists) or else in /usr/bin. The chosen file's path; empty when the user cancelled.
QString ChooseApplicationFile(QWidget* owner, const QString& previousChoice = {});

// The folder the dialog starts in.
QString ApplicationStartFolder(const QString& previousChoice);

// True for what the dialog lists: folders and executable files.
bool OfferedAsApplication(const QFileInfo& file);

}  // namespace orvo
