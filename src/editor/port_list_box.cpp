#include "editor/port_list_box.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace orvo {
namespace {

class PortRowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const override {
    return QSize(option.rect.width(), 2 * option.fontMetrics.height());
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();  // pen and brush come back as they were
    const QPalette& palette = option.palette;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    // The highlight does not fade when the dialog loses the focus.
    painter->fillRect(option.rect, selected ? palette.color(QPalette::Active, QPalette::Highlight)
                                            : palette.color(QPalette::Base));
    if (option.state.testFlag(QStyle::State_HasFocus)) {
      painter->setPen(QColor(255, 0, 0));
      painter->setBrush(Qt::NoBrush);
      painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->setPen(selected ? palette.color(QPalette::Active, QPalette::HighlightedText)
                             : palette.color(QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine, index.data(Qt::DisplayRole).toString());
    painter->restore();
  }
};

}  // namespace

PortListBox::PortListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new PortRowDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

}  // namespace orvo
