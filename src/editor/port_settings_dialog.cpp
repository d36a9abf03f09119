#include "editor/port_settings_dialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cmath>

#include "editor/list_search.h"
#include "editor/port_list_box.h"
#include "editor/surface_layout.h"
#include "protocol/protocol_state.h"

namespace orvo {
namespace {

// The arrangement is kept in dialog units as it was designed, at the editor's scale.
QRect Units(int x, int y, int width, int height) {
  const auto px = [](int units) { return static_cast<int>(std::lround(units * kDefaultSurfaceScale)); };
  return QRect(px(x), px(y), px(width), px(height));
}

QString FromLocal(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }
std::string ToLocal(const QString& text) { return text.toLocal8Bit().toStdString(); }

struct ModeChoice {
  int32_t mode;
  const char* text;
  QRect rect;
  const char* tip;
};

const std::array<ModeChoice, 4>& ModeChoices() {
  static const std::array<ModeChoice, 4> choices{{
      {kModeStandard, "Standard", Units(280, 81, 45, 10),
       "The surface's own MIDI goes to the application's port unchanged: no keystrokes, no rewriting; the "
       "surface keeps its Bank and Shift itself."},
      {kModeHost, "Host", Units(280, 102, 31, 10),
       "This program reads every control: it types the keys and sends the MIDI this Keyset maps, keeps Bank "
       "and Shift, and drives the lamps. Controls are selected by a click in the editor only in this mode."},
      {kModeKelo, "Kelo", Units(280, 122, 33, 10),
       "The surface speaks its Kelo protocol, for applications that expect it: its MIDI goes to the "
       "application's port unchanged, no keystrokes."},
      {kModeEnhanced, "Enhanced", Units(280, 142, 49, 10),
       "Cannot be chosen: the surface has no message that switches it into Enhanced mode. A Keyset whose file "
       "holds it keeps it."},
  }};
  return choices;
}

QStringList DeviceNames(MidiSystem& midi, bool inputs) {
  QStringList names;
  const uint32_t count = inputs ? midi.InDeviceCount() : midi.OutDeviceCount();
  for (uint32_t device = 0; device < count; ++device) {
    std::string name;
    if ((inputs ? midi.InDeviceName(device, name) : midi.OutDeviceName(device, name)) == kMidiNoError)
      names << FromLocal(name);
  }
  return names;
}

bool AskWithMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QString shown = text;
  shown.replace("\r\n", "\n");  // the texts keep their line ends; the box wants one kind
  QMessageBox box(icon, "Orvo", shown, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

PortSettingsDialog::PortSettingsDialog(PortSettingsServices services, const QStringList& applications,
                                       const Keyset* shown, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)) {
  setWindowTitle("Choose MIDI Ports, Orvo Device Mode");
  setModal(true);
  BuildControls();
  applications_->addItems(applications);  // sorted by the list
  ListPorts();
  if (shown) {
    SelectListEntry(*applications_, FromLocal(shown->Name));
    ShowChoicesOf(*shown);
  }
  // Only the user's own changes of the application reload the choices.
  connect(applications_, &QListWidget::itemSelectionChanged, this, &PortSettingsDialog::OnApplicationChanged);
  connect(selectButton_, &QPushButton::clicked, this, &PortSettingsDialog::Select);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
  auto* refresh = new QTimer(this);
  connect(refresh, &QTimer::timeout, this, &PortSettingsDialog::RefreshPorts);
  refresh->start(kPortListRefreshMs);
}

void PortSettingsDialog::BuildControls() {
  setFixedSize(Units(0, 0, 334, 217).size());

  selectButton_ = new QPushButton("Select", this);
  selectButton_->setGeometry(Units(277, 7, 50, 14));
  closeButton_ = new QPushButton("Close", this);
  closeButton_->setGeometry(Units(277, 24, 50, 14));
  closeButton_->setDefault(true);

  applications_ = new QListWidget(this);
  applications_->setGeometry(Units(7, 7, 135, 203));
  applications_->setSortingEnabled(true);
  applications_->setSelectionMode(QAbstractItemView::SingleSelection);
  applications_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  const auto label = [this](const char* text, QRect rect) {
    auto* caption = new QLabel(text, this);
    caption->setGeometry(rect);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  };
  // Under each list, a line that says which way its port's messages flow.
  const auto flow = [this](const char* text, QRect rect) {
    auto* line = new QLabel(text, this);
    line->setGeometry(rect);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont small = line->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    line->setFont(small);
    line->setEnabled(false);  // drawn greyed: a hint, not a field
  };
  label("Receive from", Units(143, 7, 132, 12));
  receiveList_ = new PortListBox(this);
  receiveList_->setGeometry(Units(142, 21, 135, 72));
  receiveList_->setToolTip(kReceiveFlowLine);
  flow(kReceiveFlowLine, Units(142, 94, 135, 16));
  label("Send to", Units(143, 111, 132, 12));
  sendList_ = new PortListBox(this);
  sendList_->setGeometry(Units(142, 125, 135, 72));
  sendList_->setToolTip(kSendFlowLine);
  flow(kSendFlowLine, Units(142, 198, 135, 16));

  // Siblings of one parent: checking one unchecks the others.
  for (std::size_t i = 0; i < modeButtons_.size(); ++i) {
    const ModeChoice& choice = ModeChoices()[i];
    modeButtons_[i] = new QRadioButton(choice.text, this);
    modeButtons_[i]->setGeometry(choice.rect);
    modeButtons_[i]->setToolTip(choice.tip);
  }
  ModeButton(kModeEnhanced)->setEnabled(false);  // shown when stored, never chosen

  // Without a MIDI system the lists stay empty: the reason stands where the ports would.
  problem_ = new QLabel(this);
  problem_->setObjectName("midiProblem");
  problem_->setGeometry(Units(146, 25, 127, 64));
  problem_->setWordWrap(true);
  problem_->setAlignment(Qt::AlignCenter);
  problem_->setAttribute(Qt::WA_TransparentForMouseEvents);
  ShowMidiProblem();
}

void PortSettingsDialog::ShowMidiProblem() {
  if (services_.CurrentMidiProblem) services_.MidiProblem = services_.CurrentMidiProblem();
  problem_->setText(FromLocal(services_.MidiProblem));
  problem_->setVisible(!services_.MidiProblem.empty());
}

void PortSettingsDialog::ListPorts() {
  receiveList_->addItems(DeviceNames(services_.Midi, false));
  sendList_->addItems(DeviceNames(services_.Midi, true));
}

void PortSettingsDialog::RefreshPorts() {
  ShowMidiProblem();
  ListAgain(*receiveList_, DeviceNames(services_.Midi, false));
  ListAgain(*sendList_, DeviceNames(services_.Midi, true));
}

void PortSettingsDialog::ListAgain(QListWidget& list, const QStringList& names) {
  QStringList listed;
  for (int row = 0; row < list.count(); ++row)
    if (!list.item(row)->data(Qt::UserRole).isValid()) listed << list.item(row)->text();
  if (listed == names) return;
  const std::optional<std::string> chosen = ChosenName(list);
  // A stored port listed as not running stays so until it comes.
  QString absent;
  for (int row = 0; row < list.count(); ++row)
    if (list.item(row)->data(Qt::UserRole).isValid()) absent = list.item(row)->data(Qt::UserRole).toString();
  const QSignalBlocker quiet(&list);
  list.clear();
  list.addItems(names);
  if (!absent.isEmpty() && !names.contains(absent)) {
    auto* entry = new QListWidgetItem(absent + kNotRunningSuffix, &list);
    entry->setData(Qt::UserRole, absent);
  }
  if (!chosen) return;
  const QString name = FromLocal(*chosen);
  for (int row = 0; row < list.count(); ++row) {
    QListWidgetItem* item = list.item(row);
    const QVariant stored = item->data(Qt::UserRole);
    if ((stored.isValid() ? stored.toString() : item->text()) == name) {
      list.setCurrentItem(item);
      return;
    }
  }
  // The chosen port went away: it is the one to be used once it is back.
  auto* entry = new QListWidgetItem(name + kNotRunningSuffix, &list);
  entry->setData(Qt::UserRole, name);
  list.setCurrentItem(entry);
}

void PortSettingsDialog::ShowChoicesOf(const Keyset& keyset) {
  ShowStored(*receiveList_, keyset.MidiInPort.Get());
  ShowStored(*sendList_, keyset.MidiOutPort.Get());
  CheckModeButton(keyset.DeviceMode.load());
}

void PortSettingsDialog::ShowStored(QListWidget& list, const std::string& stored) {
  // The entry of another application's absent port goes with the change of application.
  for (int row = list.count() - 1; row >= 0; --row)
    if (list.item(row)->data(Qt::UserRole).isValid()) delete list.takeItem(row);
  QStringList entries;
  for (int row = 0; row < list.count(); ++row) entries << list.item(row)->text();
  const QString name = FromLocal(stored);
  if (!name.isEmpty() && FindListEntry(entries, name) < 0) {
    auto* absent = new QListWidgetItem(name + kNotRunningSuffix, &list);
    absent->setData(Qt::UserRole, name);
    list.clearSelection();
    list.setCurrentItem(absent);
    return;
  }
  SelectListEntry(list, name);
}

std::optional<std::string> PortSettingsDialog::ChosenName(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QVariant stored = selected.front()->data(Qt::UserRole);
  return ToLocal(stored.isValid() ? stored.toString() : selected.front()->text());
}

void PortSettingsDialog::OnApplicationChanged() {
  const std::optional<QString> name = SelectedText(*applications_);
  const Keyset* keyset = name ? services_.Mapper.Lookup(ToLocal(*name)) : nullptr;
  if (keyset) ShowChoicesOf(*keyset);
}

void PortSettingsDialog::CheckModeButton(int32_t mode) {
  const bool hasButton = mode == kModeStandard || mode == kModeKelo || mode == kModeEnhanced;
  QRadioButton* wanted = ModeButton(hasButton ? mode : kModeHost);
  for (QRadioButton* button : modeButtons_) {
    button->setAutoExclusive(false);  // so that all of them can be cleared
    button->setChecked(button == wanted);
    button->setAutoExclusive(true);
  }
}

int32_t PortSettingsDialog::CheckedMode() const {
  for (std::size_t i = 0; i < modeButtons_.size(); ++i)
    if (modeButtons_[i]->isChecked()) return ModeChoices()[i].mode;
  return kModeNone;
}

bool PortSettingsDialog::Ask(const QString& text, QMessageBox::Icon icon) {
  if (services_.AskYesNo) return services_.AskYesNo(text, icon);
  return AskWithMessageBox(this, text, icon);
}

void PortSettingsDialog::Select() {
  const std::optional<QString> application = SelectedText(*applications_);
  Keyset* keyset = application ? services_.Mapper.Lookup(ToLocal(*application)) : nullptr;
  if (!keyset) {
    if (Ask(kNotLoadedQuestion, QMessageBox::Critical)) reject();
    return;
  }

  int32_t mode = CheckedMode();
  if (mode == kModeNone) {
    if (!Ask(QString(kInvalidModeQuestion).arg(FromLocal(keyset->Name)), QMessageBox::Question)) return;
    CheckModeButton(kModeHost);
    mode = kModeHost;
  }

  // A list with nothing selected leaves its side as it is. The names in force afterwards
  // must not name one port on both sides: that would feed MIDI back into itself.
  const std::optional<std::string> receive = ChosenName(*receiveList_);
  const std::optional<std::string> send = ChosenName(*sendList_);
  const std::string inPort = receive ? *receive : keyset->MidiInPort.Get();
  const std::string outPort = send ? *send : keyset->MidiOutPort.Get();
  if ((receive || send) && !inPort.empty() && inPort == outPort) {
    if (Ask(kSamePortQuestion, QMessageBox::Critical)) reject();
    return;
  }

  // Put in force on the surface the next time this Keyset becomes the active one.
  keyset->DeviceMode.store(mode);
  if (send) ApplyInputSide(*keyset, outPort);
  if (receive) ApplyOutputSide(*keyset, inPort);
  accept();
}

void PortSettingsDialog::ApplyInputSide(Keyset& keyset, const std::string& chosen) {
  if (chosen == keyset.MidiOutPort.Get()) return;
  if (!services_.Ports.CloseMidiIn(keyset)) return;  // still open: keeps its name
  keyset.MidiOutPort.Set(chosen);  // kept even when the open fails, to be tried next start
  services_.Ports.OpenMidiInByName(keyset, chosen);
}

void PortSettingsDialog::ApplyOutputSide(Keyset& keyset, const std::string& chosen) {
  if (chosen == keyset.MidiInPort.Get()) return;
  if (!services_.Ports.CloseMidiOut(keyset)) return;
  keyset.MidiInPort.Set(chosen);
  services_.Ports.OpenMidiOutByName(keyset, chosen);
}

}  // namespace orvo
