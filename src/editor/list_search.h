#pragma once
// How the editor's dialogs select a stored name in a list: the list's own string search.
// It looks for the first entry that begins with the text, ignoring case, from the second
// entry to the end and then the first. An entry that is the whole text, ignoring case, is
// taken before any longer entry that merely begins with it, so that "SEQ" never selects
// "SEQUENCER" while "SEQ" is listed. Empty text finds nothing. GUI thread.
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvo {

// The row of the entry the search finds in `entries`, or -1.
int FindListEntry(const QStringList& entries, const QString& text);

// Selects the entry the search finds, or leaves nothing selected.
void SelectListEntry(QListWidget& list, const QString& text);

// The text of the selected entry; nothing when no entry is selected.
std::optional<QString> SelectedText(const QListWidget& list);

}  // namespace orvo
