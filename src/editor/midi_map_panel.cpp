#include "editor/midi_map_panel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <utility>

#include "editor/editor_messages.h"
#include "editor/editor_target.h"
#include "editor/hex_byte_edit.h"
#include "editor/rewrite_preview.h"
#include "mapping/keyset.h"
#include "mapping/keyset_file.h"
#include "platform/message_service.h"
#include "protocol/midi_words.h"

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
      preview_(new QLabel(this)),
      kind_(new QComboBox(this)),
      channel_(new QSpinBox(this)),
      number_(new QSpinBox(this)),
      noteName_(new QLabel(this)),
      learn_(new QPushButton(QStringLiteral("Learn"), this)) {
  rule_->addButton(native_);
  rule_->addButton(custom1_);
  rule_->addButton(custom2_);

  // The rows read like the message's three bytes, left to right, in hexadecimal as the
  // files keep them.
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(10, 8, 10, 8);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(6);
  grid->addWidget(ColumnHeading(QStringLiteral("Status"), this), 0, 1);
  grid->addWidget(ColumnHeading(QStringLiteral("Data 1"), this), 0, 2);
  grid->addWidget(ColumnHeading(QStringLiteral("Data 2"), this), 0, 3);
  QLabel* hex = ColumnHeading(QStringLiteral("(hex)"), this);
  hex->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  hex->setToolTip(QStringLiteral("The boxes hold hexadecimal bytes, as the Keyset files store them: B0 4A is "
                                 "controller 74 on channel 1"));
  grid->addWidget(hex, 0, 4);
  grid->addWidget(native_, 1, 0);
  grid->addWidget(custom1_, 2, 0);
  grid->addWidget(custom1Status_, 2, 1);
  grid->addWidget(custom1Data_, 2, 2);
  grid->addWidget(custom1Value_, 2, 3);
  grid->addWidget(custom2_, 3, 0);
  grid->addWidget(custom2Status_, 3, 1);
  grid->addWidget(custom2Value_, 3, 2);
  grid->addWidget(custom2Data_, 3, 3);
  for (HexByteEdit* box : {custom1Status_, custom1Data_, custom2Status_, custom2Data_})
    box->setToolTip(QStringLiteral("A byte in hexadecimal (00-FF); empty keeps the surface's own"));

  // The same message in a musician's terms, in decimal: type, channel 1-16, number 0-127.
  for (MidiKind kind : kMidiKinds) kind_->addItem(QString::fromLatin1(MidiKindName(kind)), static_cast<int>(kind));
  kind_->setToolTip(QStringLiteral("The message to send; \"As it is\" keeps the surface's own type and channel"));
  channel_->setRange(1, 16);
  channel_->setPrefix(QStringLiteral("ch "));
  channel_->setToolTip(QStringLiteral("MIDI channel, 1-16"));
  number_->setRange(-1, 127);
  number_->setSpecialValueText(QStringLiteral("as it is"));
  number_->setPrefix(QStringLiteral("no. "));
  number_->setToolTip(QStringLiteral("Controller, note or program number, 0-127 (decimal)"));
  learn_->setCheckable(true);
  learn_->setAutoDefault(false);
  learn_->setToolTip(QStringLiteral("Takes the next message that arrives from the application's port "
                                    "(or the surface) as the message to send"));
  auto* kindRow = new QHBoxLayout;
  kindRow->setSpacing(6);
  kindRow->addWidget(new QLabel(QStringLiteral("Send as:"), this));
  kindRow->addWidget(kind_, 1);
  kindRow->addWidget(learn_);
  auto* numberRow = new QHBoxLayout;
  numberRow->setSpacing(6);
  numberRow->addWidget(channel_);
  numberRow->addWidget(number_);
  numberRow->addWidget(noteName_);
  numberRow->addStretch(1);
  grid->addLayout(kindRow, 4, 0, 1, 5);
  grid->addLayout(numberRow, 5, 0, 1, 5);
  // What the rule sends, under the rows, as the bytes are typed.
  preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  preview_->setWordWrap(true);
  grid->addWidget(preview_, 6, 0, 1, 5);
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(7, 1);

  const auto wordsChanged = [this] {
    if (!syncing_) WriteBoxesFromWords();
  };
  connect(kind_, &QComboBox::currentIndexChanged, this, wordsChanged);
  connect(channel_, &QSpinBox::valueChanged, this, wordsChanged);
  connect(number_, &QSpinBox::valueChanged, this, wordsChanged);

  // While the panel itself sets the boxes and buttons, it brings the rest in step once at
  // the end: a selection must not cost the preview and the fields once per box.
  connect(rule_, &QButtonGroup::buttonToggled, this, [this] {
    EnableChosenRow();
    if (syncing_) return;
    ShowWordsOfBoxes();
    UpdatePreview();
  });
  for (HexByteEdit* box : {custom1Status_, custom1Data_, custom2Status_, custom2Data_})
    connect(box, &QLineEdit::textChanged, this, [this] {
      if (syncing_) return;
      ShowWordsOfBoxes();
      UpdatePreview();
    });
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
  syncing_ = true;
  for (HexByteEdit* box : {custom1Status_, custom1Data_, custom2Status_, custom2Data_}) box->clear();
  if (shown.dataABox) shown.dataABox->setText(ShownByte(mapping.DataA.load(std::memory_order_relaxed)));
  if (shown.dataBBox) shown.dataBBox->setText(ShownByte(mapping.DataB.load(std::memory_order_relaxed)));
  shown.button->setChecked(true);
  syncing_ = false;
  EnableChosenRow();
  ShowWordsOfBoxes();
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

QString MidiMapPanel::Preview() const { return previewHex_; }

void MidiMapPanel::UpdatePreview() {
  const ControlDescriptor* selected = target_.SelectedControl();
  if (selected == nullptr) {
    previewHex_.clear();
    previewWords_.clear();
    preview_->clear();
    return;
  }
  const Rule rule = ChosenRule();
  previewHex_ = RewritePreview(*selected, rule.mapType, rule.dataA, rule.dataB);
  previewWords_ = RewriteWords(*selected, rule.mapType, rule.dataA, rule.dataB);
  preview_->setText(QStringLiteral("Sends %1   (%2)").arg(previewWords_, previewHex_));
}

HexByteEdit* MidiMapPanel::StatusBoxInUse() const { return custom2_->isChecked() ? custom2Status_ : custom1Status_; }
HexByteEdit* MidiMapPanel::NumberBoxInUse() const { return custom2_->isChecked() ? custom2Data_ : custom1Data_; }

// The boxes of the row in use, read as a musician would: an empty status box keeps the
// surface's type and channel, an empty number box its number.
void MidiMapPanel::ShowWordsOfBoxes() {
  const bool wasSyncing = std::exchange(syncing_, true);
  uint8_t status = 0;
  const bool hasStatus = !native_->isChecked() && HoldsByte(*StatusBoxInUse()) &&
                         HexToByte(StatusBoxInUse()->text().toStdString(), status);
  const std::optional<KindAndChannel> split = hasStatus ? SplitStatus(status) : std::nullopt;
  const MidiKind kind = split ? split->kind : MidiKind::kAsItIs;
  kind_->setCurrentIndex(std::max(0, kind_->findData(static_cast<int>(kind))));
  if (split) channel_->setValue(split->channel);
  channel_->setEnabled(split.has_value());
  uint8_t number = 0;
  const bool hasNumber = !native_->isChecked() && HoldsByte(*NumberBoxInUse()) &&
                         HexToByte(NumberBoxInUse()->text().toStdString(), number);
  number_->setValue(hasNumber ? number & 0x7F : -1);
  noteName_->setText(hasNumber && TakesNote(kind) ? QString::fromStdString(NoteName(number & 0x7F)) : QString());
  syncing_ = wasSyncing;
}

// A field the user set: the boxes of the row in use follow, and a rule that was
// "Native" becomes "Custom 1:", where the control's value stays last.
void MidiMapPanel::WriteBoxesFromWords() {
  syncing_ = true;
  if (native_->isChecked()) {
    custom1_->setChecked(true);
    EnableChosenRow();
  }
  const auto kind = static_cast<MidiKind>(kind_->currentData().toInt());
  channel_->setEnabled(kind != MidiKind::kAsItIs);
  StatusBoxInUse()->setText(kind == MidiKind::kAsItIs ? QString() : ShownByte(StatusOf(kind, channel_->value())));
  const int number = number_->value();
  NumberBoxInUse()->setText(number < 0 ? QString() : ShownByte(static_cast<uint8_t>(number)));
  noteName_->setText(number >= 0 && TakesNote(kind) ? QString::fromStdString(NoteName(number)) : QString());
  syncing_ = false;
  UpdatePreview();
}

bool MidiMapPanel::IsLearning() const { return learn_->isChecked(); }

bool MidiMapPanel::Learn(uint8_t status, uint8_t data1) {
  if (!IsLearning()) return false;
  const std::optional<KindAndChannel> split = SplitStatus(status);
  if (!split) return false;  // a system message has no channel to send on
  learn_->setChecked(false);
  syncing_ = true;
  kind_->setCurrentIndex(std::max(0, kind_->findData(static_cast<int>(split->kind))));
  channel_->setValue(split->channel);
  // A pitch bend's first byte is its fine part: the control's value moves the coarse one.
  number_->setValue(split->kind == MidiKind::kPitchBend ? 0 : data1 & 0x7F);
  syncing_ = false;
  WriteBoxesFromWords();
  return true;
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
  emit mappingApplied();
}

}  // namespace orvo
