#include "editor/midi_map_panel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include "editor/editor_messages.h"
#include "editor/editor_target.h"
#include "editor/hex_byte_edit.h"
#include "editor/rewrite_preview.h"
#include "mapping/keyset.h"
#include "mapping/keyset_file.h"
#include "platform/message_service.h"

namespace orvo {
namespace {

// A byte as the boxes show it: upper-case hex, a value below 0x10 padded with a space.
QString ShownByte(uint8_t byte) { return QString::asprintf("%2X", static_cast<unsigned>(byte)); }

// A box's byte, or nothing when it is empty (the surface's byte is kept).
bool HoldsByte(const HexByteEdit& box) { return !box.text().trimmed().isEmpty(); }

QLabel* ValueLabel(QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("Val"), parent);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QLabel* ColumnHeading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setEnabled(false);  // drawn greyed: a hint, not a field
  return label;
}

}  // namespace

MidiMapPanel::MidiMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent)
    : QWidget(parent),
      target_(target),
      messages_(messages),
      rule_(new QButtonGroup(this)),
      native_(new QRadioButton(QStringLiteral("Native"), this)),
      custom1_(new QRadioButton(QStringLiteral("Custom 1:"), this)),
      custom2_(new QRadioButton(QStringLiteral("Custom 2:"), this)),
      custom1Status_(new HexByteEdit(this)),
      custom1Data_(new HexByteEdit(this)),
      custom1Value_(ValueLabel(this)),
      custom2Status_(new HexByteEdit(this)),
      custom2Value_(ValueLabel(this)),
      custom2Data_(new HexByteEdit(this)),
      preview_(new QLabel(this)) {
  rule_->addButton(native_);
  rule_->addButton(custom1_);
  rule_->addButton(custom2_);

  // The rows read like the message's three bytes, left to right.
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(10);
  grid->addWidget(ColumnHeading(QStringLiteral("Status"), this), 0, 1);
  grid->addWidget(ColumnHeading(QStringLiteral("Data 1"), this), 0, 2);
  grid->addWidget(ColumnHeading(QStringLiteral("Data 2"), this), 0, 3);
  grid->addWidget(native_, 1, 0);
  grid->addWidget(custom1_, 2, 0);
  grid->addWidget(custom1Status_, 2, 1);
  grid->addWidget(custom1Data_, 2, 2);
  grid->addWidget(custom1Value_, 2, 3);
  grid->addWidget(custom2_, 3, 0);
  grid->addWidget(custom2Status_, 3, 1);
  grid->addWidget(custom2Value_, 3, 2);
  grid->addWidget(custom2Data_, 3, 3);
  // What the rule sends, under the rows, as the bytes are typed.
  preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(preview_, 4, 0, 1, 5);
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(5, 1);

  connect(rule_, &QButtonGroup::buttonToggled, this, [this] {
    EnableChosenRow();
    UpdatePreview();
  });
  for (HexByteEdit* box : {custom1Status_, custom1Data_, custom2Status_, custom2Data_})
    connect(box, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
  native_->setChecked(true);
  EnableChosenRow();
}

void MidiMapPanel::EnableChosenRow() {
  const bool row1 = custom1_->isChecked();
  const bool row2 = custom2_->isChecked();
  for (QWidget* field : {static_cast<QWidget*>(custom1Status_), static_cast<QWidget*>(custom1Data_),
                         static_cast<QWidget*>(custom1Value_)})
    field->setEnabled(row1);
  for (QWidget* field : {static_cast<QWidget*>(custom2Status_), static_cast<QWidget*>(custom2Value_),
                         static_cast<QWidget*>(custom2Data_)})
    field->setEnabled(row2);
}

void MidiMapPanel::ShowMidiMap(const ControlMapping& mapping) {
  struct Shown {
    QRadioButton* button;
    HexByteEdit* dataABox;
    HexByteEdit* dataBBox;
  };
  const Shown byType[] = {  // by MapType
      {native_, nullptr, nullptr},                // 0
      {custom1_, nullptr, nullptr},               // 1
      {custom2_, nullptr, nullptr},               // 2
      {custom1_, custom1Status_, custom1Data_},   // 3
      {custom1_, custom1Status_, nullptr},        // 4
      {custom1_, nullptr, custom1Data_},          // 5
      {custom2_, custom2Status_, custom2Data_},   // 6
      {custom2_, custom2Status_, nullptr},        // 7
      {custom2_, nullptr, custom2Data_},          // 8
  };
  const auto mapType = static_cast<uint8_t>(mapping.MapType.load(std::memory_order_relaxed));
  // A rule the panel cannot express is sent as the surface made it: shown as "Native".
  const Shown& shown = mapType < std::size(byType) ? byType[mapType] : byType[0];

  // Boxes the rule leaves unwritten are emptied, so that "Apply" never picks up the
  // bytes of the control shown before.
  for (HexByteEdit* box : {custom1Status_, custom1Data_, custom2Status_, custom2Data_}) box->clear();
  if (shown.dataABox) shown.dataABox->setText(ShownByte(mapping.DataA.load(std::memory_order_relaxed)));
  if (shown.dataBBox) shown.dataBBox->setText(ShownByte(mapping.DataB.load(std::memory_order_relaxed)));
  shown.button->setChecked(true);
  EnableChosenRow();
  UpdatePreview();
}

// The rule the panel shows now: its type by the chosen row and which of its boxes hold a
// byte, with those bytes.
MidiMapPanel::Rule MidiMapPanel::ChosenRule() const {
  // Types by row: both boxes empty, both given, only the status, only the data byte.
  struct Row {
    const HexByteEdit* dataABox;
    const HexByteEdit* dataBBox;
    MapType types[4];
  };
  const Row custom1{custom1Status_, custom1Data_,
                    {MapType::kCustom1, MapType::kCustom1StatusData, MapType::kCustom1Status, MapType::kCustom1Data}};
  const Row custom2{custom2Status_, custom2Data_,
                    {MapType::kCustom2, MapType::kCustom2StatusData, MapType::kCustom2Status, MapType::kCustom2Data}};
  const Row* row = custom1_->isChecked() ? &custom1 : custom2_->isChecked() ? &custom2 : nullptr;
  Rule rule;
  if (row == nullptr) return rule;  // "Native"
  rule.hasA = HoldsByte(*row->dataABox) && HexToByte(row->dataABox->text().toStdString(), rule.dataA);
  rule.hasB = HoldsByte(*row->dataBBox) && HexToByte(row->dataBBox->text().toStdString(), rule.dataB);
  rule.mapType = !rule.hasA && !rule.hasB ? row->types[0]
                 : rule.hasA && rule.hasB ? row->types[1]
                 : rule.hasA              ? row->types[2]
                                          : row->types[3];
  return rule;
}

QString MidiMapPanel::Preview() const { return preview_->text(); }

void MidiMapPanel::UpdatePreview() {
  const ControlDescriptor* selected = target_.SelectedControl();
  if (selected == nullptr) {
    preview_->clear();
    return;
  }
  const Rule rule = ChosenRule();
  preview_->setText(RewritePreview(*selected, rule.mapType, rule.dataA, rule.dataB));
}

void MidiMapPanel::ApplyMapping() {
  if (target_.ShownKeyset() == nullptr) {
    messages_.ShowMessage(kSelectKeysetFirstMessage, MessageIcon::kInformation);
    return;
  }
  ControlMapping* mapping = MappingToEdit(target_);
  if (mapping == nullptr) {
    messages_.ShowMessage(kSelectMapFirstMessage, MessageIcon::kInformation);
    return;
  }
  const Rule rule = ChosenRule();
  // "Native" keeps the data bytes for a later custom rule. Otherwise the bytes go in
  // before the type that uses them: an event dispatched in between is meant to go out by
  // the old rule, not by the new rule with an old byte.
  if (rule.hasA) mapping->DataA.store(rule.dataA, std::memory_order_relaxed);
  if (rule.hasB) mapping->DataB.store(rule.dataB, std::memory_order_relaxed);
  mapping->MapType.store(rule.mapType, std::memory_order_relaxed);
}

}  // namespace orvo
