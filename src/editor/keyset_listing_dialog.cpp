#include "editor/keyset_listing_dialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/label_text.h"
#include "editor/surface_layout.h"
#include "mapping/keyset.h"
#include "mapping/keyset_listing.h"

namespace orvo {
namespace {

// The dialog's size in dialog units, scaled as the editor's picture is.
constexpr double kWidthUnits = 586;
constexpr double kHeightUnits = 239;

}  // namespace

KeysetListingDialog::KeysetListingDialog(const Keyset* shown, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
  const std::string name = shown ? shown->Name : std::string("<No Active Keyset>");
  setWindowTitle(QString::fromStdString(name + ": Keyset"));

  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  if (shown != nullptr) {
    for (const std::string& line : KeysetListing(*shown)) list_->addItem(LabelForDisplay(line));
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(static_cast<int>(kWidthUnits * kDefaultSurfaceScale), static_cast<int>(kHeightUnits * kDefaultSurfaceScale));
}

}  // namespace orvo
