#include "editor/list_search.h"

namespace orvo {
namespace {

// Rows in the order the search visits them: 1, 2, ..., count - 1, 0.
template <class Matches>
int FirstInSearchOrder(const QStringList& entries, Matches matches) {
  const int count = static_cast<int>(entries.size());
  for (int step = 0; step < count; ++step) {
    const int row = (step + 1) % count;
    if (matches(entries[row])) return row;
  }
  return -1;
}

}  // namespace

int FindListEntry(const QStringList& entries, const QString& text) {
  if (text.isEmpty()) return -1;
  const int whole = FirstInSearchOrder(
      entries, [&](const QString& entry) { return entry.compare(text, Qt::CaseInsensitive) == 0; });
  if (whole >= 0) return whole;
  return FirstInSearchOrder(entries,
                            [&](const QString& entry) { return entry.startsWith(text, Qt::CaseInsensitive); });
}

void SelectListEntry(QListWidget& list, const QString& text) {
  QStringList entries;
  for (int row = 0; row < list.count(); ++row) entries << list.item(row)->text();
  const int found = FindListEntry(entries, text);
  list.clearSelection();
  list.setCurrentRow(found);  // -1: no current entry either
  if (found >= 0) list.scrollToItem(list.item(found));
}

std::optional<QString> SelectedText(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  return selected.front()->text();
}

}  // namespace orvo
