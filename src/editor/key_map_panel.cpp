#include "editor/key_map_panel.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "editor/editor_messages.h"
#include "editor/editor_target.h"
#include "editor/key_capture_edit.h"
#include "editor/label_text.h"
#include "mapping/keyset.h"
#include "platform/key_map.h"
#include "platform/message_service.h"

namespace orvo {
namespace {

constexpr int kShiftKey = 16;
constexpr int kCtrlKey = 17;
constexpr int kAltKey = 18;

bool IsModifierKey(int virtualKey) { return virtualKey >= kShiftKey && virtualKey <= kAltKey; }

}  // namespace

KeyMapPanel::KeyMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent)
    : QWidget(parent),
      target_(target),
      messages_(messages),
      // The modifiers as they were when the key went down, not when the event is handled:
      // keys typed faster than the editor handles them keep their own combination.
      heldModifiers_([] { return QGuiApplication::keyboardModifiers(); }),
      selectedName_(new QLabel(QStringLiteral("<Selected Ctrl>"), this)),
      labelBox_(new QLineEdit(this)),
      keyBox_(new KeyCaptureEdit(this)),
      shiftBox_(new QCheckBox(QStringLiteral("Shft"), this)),
      altBox_(new QCheckBox(QStringLiteral("Alt"), this)),
      ctrlBox_(new QCheckBox(QStringLiteral("Ctrl"), this)) {
  selectedName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont nameFont = selectedName_->font();
  nameFont.setBold(true);
  selectedName_->setFont(nameFont);

  auto* modifiers = new QHBoxLayout;
  modifiers->addWidget(shiftBox_);
  modifiers->addWidget(altBox_);
  modifiers->addWidget(ctrlBox_);
  modifiers->addStretch();

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(10);
  grid->addWidget(new QLabel(QStringLiteral("Selected Control:"), this), 0, 0);
  grid->addWidget(selectedName_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Name:"), this), 1, 0);
  grid->addWidget(labelBox_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Key"), this), 2, 0);
  grid->addWidget(keyBox_, 2, 1);
  grid->addLayout(modifiers, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);

  connect(keyBox_, &KeyCaptureEdit::keyDown, this, &KeyMapPanel::CaptureKey);
  // After the box has toggled, its key goes down in the key box.
  // A ticked box gives the keyboard back to the key box, where the next key is meant to go.
  connect(shiftBox_, &QCheckBox::clicked, this, [this] { ModifierBoxClicked(kShiftKey); });
  connect(altBox_, &QCheckBox::clicked, this, [this] { ModifierBoxClicked(kAltKey); });
  connect(ctrlBox_, &QCheckBox::clicked, this, [this] { ModifierBoxClicked(kCtrlKey); });
  labelBox_->installEventFilter(this);
}

void KeyMapPanel::SetSelectedName(const QString& name) { selectedName_->setText(name); }
QString KeyMapPanel::SelectedName() const { return selectedName_->text(); }
void KeyMapPanel::SetLabel(const QString& label) { labelBox_->setText(label); }
QString KeyMapPanel::Label() const { return labelBox_->text(); }
void KeyMapPanel::ClearKeyText() { keyBox_->clear(); }
QString KeyMapPanel::KeyText() const { return keyBox_->text(); }
void KeyMapPanel::ClearModifiers() {
  for (QCheckBox* box : {shiftBox_, altBox_, ctrlBox_}) box->setChecked(false);
}
void KeyMapPanel::FocusKeyCapture() { keyBox_->setFocus(Qt::OtherFocusReason); }

void KeyMapPanel::Tell(const char* text) { messages_.ShowMessage(text, MessageIcon::kInformation); }

void KeyMapPanel::CaptureKey(int virtualKey, int /*repeatCount*/, uint32_t flagsWord) {
  const ControlDescriptor* selected = target_.SelectedControl();
  if (selected == nullptr) {
    Tell(kSelectControlFirstMessage);
    ClearKeyText();
    return;
  }
  Keyset* keyset = target_.ShownKeyset();
  if (keyset == nullptr) {
    Tell(kSelectKeysetFirstMessage);
    ClearKeyText();
    return;
  }
  if (IsModifierKey(virtualKey)) {  // a modifier alone assigns nothing
    ClearKeyText();
    return;
  }
  // A ticked box stays in force for the following keys until it is cleared.
  const Qt::KeyboardModifiers held = heldModifiers_();
  const bool shift = shiftBox_->isChecked() || held.testFlag(Qt::ShiftModifier);
  const bool alt = altBox_->isChecked() || held.testFlag(Qt::AltModifier);
  const bool ctrl = ctrlBox_->isChecked() || held.testFlag(Qt::ControlModifier);
  const uint32_t keyFlags =
      (ctrl ? kModCtrl : 0) | (alt ? kModAlt : 0) | (shift ? kModShift : 0) | (flagsWord << 16);
  ShowKeyText(virtualKey, keyFlags);
  if (ControlMapping* mapping = MappingToEdit(target_)) {
    mapping->KeyCode.store(virtualKey, std::memory_order_relaxed);
    mapping->KeyFlags.store(keyFlags, std::memory_order_relaxed);
    emit mappingStored();
  }
}

QString KeystrokeText(int32_t keyCode, uint32_t keyFlags) {
  if (IsModifierKey(keyCode) || !HasKeystroke(keyFlags)) return {};
  QString text;
  if (keyFlags & kModCtrl) text += QStringLiteral("Ctrl+");
  if (keyFlags & kModAlt) text += QStringLiteral("Alt+");
  if (keyFlags & kModShift) text += QStringLiteral("Shft+");
  return text + QString::fromStdString(KeyNameFromFlags(keyFlags));
}

void KeyMapPanel::ShowKeyText(int32_t keyCode, uint32_t keyFlags) {
  const QString text = KeystrokeText(keyCode, keyFlags);
  if (text.isEmpty()) {
    ClearKeyText();
    return;
  }
  ctrlBox_->setChecked(keyFlags & kModCtrl);
  altBox_->setChecked(keyFlags & kModAlt);
  shiftBox_->setChecked(keyFlags & kModShift);
  keyBox_->setText(text);
}

void KeyMapPanel::ApplyMapping() {
  if (target_.ShownKeyset() == nullptr) {
    Tell(kSelectKeysetFirstMessage);
    return;
  }
  ControlMapping* mapping = MappingToEdit(target_);
  if (mapping == nullptr) {
    Tell(kSelectMapFirstMessage);
    return;
  }
  mapping->Label.Set(LabelBytes(labelBox_->text(), mapping->Label.Get()));
  emit mappingStored();
  // Bits 3 and 4 of the modifiers are never set by a capture; NoKey has both.
  if (mapping->KeyFlags.load(std::memory_order_relaxed) & 0x18) {
    Tell(kInvalidKeyMessage);
    FocusKeyCapture();
  }
}

void KeyMapPanel::ModifierBoxClicked(int virtualKey) {
  CaptureKey(virtualKey, 0, 0);
  FocusKeyCapture();
}

// The label box losing the focus to another widget of the window with no control
// selected: its text could belong to nothing. Its own context menu and leaving the
// window do not count.
bool KeyMapPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == labelBox_ && event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        target_.SelectedControl() == nullptr) {
      // Told once the focus has settled: a box opened inside a focus change (a tab
      // switch hiding this panel) would run the editor's events in the middle of it.
      QTimer::singleShot(0, this, [this] {
        if (target_.SelectedControl()) return;
        Tell(kSelectControlFirstMessage);
        labelBox_->clear();
      });
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvo
