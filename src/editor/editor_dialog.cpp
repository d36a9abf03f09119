#include "editor/editor_dialog.h"

#include <QActionGroup>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

#include "editor/editor_messages.h"
#include "editor/key_map_panel.h"
#include "editor/mapping_words.h"
#include "editor/midi_map_panel.h"
#include "editor/monitor_edit.h"
#include "editor/surface_picture.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"

namespace orvo {
namespace {

// Where the panel and "Apply" sit on the picture, in dialog units.
constexpr QRectF kPanelRect{371, 2, 250, 171};
constexpr QRectF kApplyRect{369, 174, 50, 14};

// The picture's scale: its natural size where the screen allows, else what fits.
double ScaleForScreen(const QWidget* widget) {
  const QScreen* screen = widget->screen();
  if (!screen) return kDefaultSurfaceScale;
  // The frame, title bar, menu bar, the line under the picture and the status line.
  const QSizeF room = QSizeF(screen->availableSize()) - QSizeF(16, 150);
  const double fit = std::min(room.width() / kSurfaceCanvasSize.width(), room.height() / kSurfaceCanvasSize.height());
  return std::clamp(fit, 1.2, kDefaultSurfaceScale);
}

}  // namespace

EditorDialog::EditorDialog(EditorServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
  setWindowTitle("Orvo Tablan Editor");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menuBar_ = new QMenuBar(this);
  layout->setMenuBar(menuBar_);
  picture_ = new SurfacePicture(false, ScaleForScreen(this), this);
  layout->addWidget(picture_);
  picture_->installEventFilter(this);
  connect(picture_, &SurfacePicture::controlClicked, this, [this](ControlId id) { PickControl(id); });
  // What the selected control does, under the picture. Its holder has no layout and a
  // fixed height, so that a new text (each selection) never lays the window out again.
  summaryHolder_ = new QWidget(this);
  summary_ = new QLabel(summaryHolder_);
  summary_->setContentsMargins(8, 4, 8, 2);
  summaryHolder_->setFixedHeight(summary_->sizeHint().height());
  summaryHolder_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  summaryHolder_->installEventFilter(this);
  layout->addWidget(summaryHolder_);
  status_ = new QLabel(this);
  status_->setContentsMargins(8, 3, 8, 3);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long reason (no MIDI system, say) wraps rather than widening the window off screen.
  status_->setWordWrap(true);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  layout->addWidget(status_);

  BuildMenus();
  BuildPanel();
  selected_ = nullptr;
  SelectTab(kTabKeyMap);
  ShowHint();
  BuildAppsMenu();
  ShowKeyset(services_.engine.Mapper.DefaultKeyset());
  StartStatusLine();
  // The whole picture at its scale (a new window is otherwise held to part of the screen).
  resize(sizeHint());
}

EditorDialog::~EditorDialog() = default;

QAction* EditorDialog::AddCommand(QMenu* menu, const char* text, EditorCommand command, bool enabled) {
  QAction* action = menu->addAction(text);
  action->setData(static_cast<int>(command));
  action->setEnabled(enabled);
  commands_[command] = action;
  return action;
}

QAction* EditorDialog::Command(EditorCommand command) const {
  auto found = commands_.find(command);
  return found == commands_.end() ? nullptr : found->second;
}

void EditorDialog::BuildMenus() {
  using Command = EditorCommand;
  QMenu* file = menuBar_->addMenu("&File");
  connect(AddCommand(file, "&New Keyset", Command::kNewKeyset, true), &QAction::triggered, this, [this] { NewKeyset(); });
  // Every Keyset now, as closing the editor does.
  QAction* save = AddCommand(file, "&Save", Command::kSave, true);
  save->setShortcut(QKeySequence::Save);
  save->setShortcutContext(Qt::WindowShortcut);
  connect(save, &QAction::triggered, this, [this] { SaveAllKeysets(); });
  connect(AddCommand(file, "&Save Keyset", Command::kSaveKeyset, true), &QAction::triggered, this,
          [this] { SaveShownKeyset(); });
  connect(AddCommand(file, "Save &All Keysets", Command::kSaveAllKeysets, true), &QAction::triggered, this,
          [this] { SaveAllKeysets(); });
  file->addSeparator();
  connect(AddCommand(file, "E&xit", Command::kExit, true), &QAction::triggered, this, [this] { accept(); });

  // The greyed items are there so the menu reads as it always has; they do nothing.
  QMenu* edit = menuBar_->addMenu("&Edit");
  AddCommand(edit, "&Undo", Command::kUndo, false);
  AddCommand(edit, "&Redo", Command::kRedo, false);
  edit->addSeparator();
  AddCommand(edit, "Cu&t", Command::kCut, false);
  AddCommand(edit, "&Copy", Command::kCopy, false);
  AddCommand(edit, "&Paste", Command::kPaste, false);
  AddCommand(edit, "&Delete", Command::kDelete, false);
  edit->addSeparator();
  AddCommand(edit, "Cut Keyset", Command::kCutKeyset, false);
  AddCommand(edit, "Copy Keyset", Command::kCopyKeyset, false);
  AddCommand(edit, "Paste Keyset", Command::kPasteKeyset, false);
  AddCommand(edit, "Delete Keyset", Command::kDeleteKeyset, false);
  edit->addSeparator();
  connect(AddCommand(edit, "Display Keyset", Command::kDisplayKeyset, true), &QAction::triggered, this,
          [this] { ShowKeysetListing(); });
  connect(AddCommand(edit, "Keyset Table", Command::kKeysetTable, true), &QAction::triggered, this,
          [this] { ShowKeysetTable(); });
  connect(AddCommand(edit, "MIDI Ports", Command::kMidiPorts, true), &QAction::triggered, this,
          [this] { ShowPortSettings(); });
  edit->addSeparator();
  AddCommand(edit, "Preferences", Command::kPreferences, false);

  QMenu* help = menuBar_->addMenu("&Help");
  AddCommand(help, "&Contents", Command::kContents, true);
  connect(AddCommand(help, "&About Orvo Software", Command::kAbout, true), &QAction::triggered, this, [this] {
    if (services_.about) services_.about(this);
  });

  QMenu* mode = menuBar_->addMenu("Orvo Mode");
  AddCommand(mode, "Standard", Command::kStandardMode, false);
  AddCommand(mode, "Host", Command::kHostMode, false);
  AddCommand(mode, "Kelo", Command::kKeloMode, false);
  AddCommand(mode, "Enhanced", Command::kEnhancedMode, false);
  mode->setEnabled(false);
}

// The tab bar with the three panels stacked under it; which one shows depends on the tab.
void EditorDialog::BuildPanel() {
  panel_ = new QWidget(picture_);
  panel_->setAutoFillBackground(true);
  auto* grid = new QGridLayout(panel_);
  grid->setContentsMargins(2, 2, 2, 2);
  tabs_ = new QTabBar(panel_);
  tabs_->setExpanding(false);
  tabs_->setUsesScrollButtons(false);
  tabs_->setDrawBase(true);
  for (const char* title : {"Key Map", "MIDI Map", "Special", "Raw Msgs"}) tabs_->addTab(title);
  grid->addWidget(tabs_, 0, 0);
  keyMap_ = new KeyMapPanel(*this, services_.messages, panel_);
  midiMap_ = new MidiMapPanel(*this, services_.messages, panel_);
  monitorPage_ = new QWidget(panel_);
  monitor_ = new MonitorEdit(monitorPage_);
  auto* monitorLayout = new QVBoxLayout(monitorPage_);
  monitorLayout->setContentsMargins(0, 0, 0, 0);
  monitorLayout->addWidget(monitor_, 1);
  auto* monitorButtons = new QHBoxLayout;
  auto* pause = new QPushButton("Pause", monitorPage_);
  pause->setObjectName("monitorPause");
  pause->setCheckable(true);
  pause->setAutoDefault(false);
  pause->setToolTip("Stops the lines so that they can be read; pressed again, says how many were skipped");
  connect(pause, &QPushButton::toggled, monitor_, &MonitorEdit::SetPaused);
  auto* clear = new QPushButton("Clear", monitorPage_);
  clear->setObjectName("monitorClear");
  clear->setAutoDefault(false);
  connect(clear, &QPushButton::clicked, monitor_, &QPlainTextEdit::clear);
  monitorButtons->addWidget(pause);
  monitorButtons->addWidget(clear);
  monitorButtons->addStretch(1);
  monitorLayout->addLayout(monitorButtons);
  grid->addWidget(keyMap_, 1, 0);
  grid->addWidget(midiMap_, 1, 0);
  grid->addWidget(monitorPage_, 1, 0);
  hint_ = new QLabel(panel_);
  hint_->setWordWrap(true);
  hint_->setContentsMargins(10, 0, 10, 2);  // in line with the panels' fields
  grid->addWidget(hint_, 2, 0);
  grid->setRowStretch(1, 1);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { OnTabChanged(tab); });
  connect(keyMap_, &KeyMapPanel::mappingStored, this, [this] { ShowStored(); });
  connect(midiMap_, &MidiMapPanel::mappingApplied, this, [this] { ShowStored(); });

  apply_ = new QPushButton("Apply", picture_);
  apply_->setDefault(true);
  apply_->setAutoDefault(true);
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyMapping(); });
  PlacePanel();
}

void EditorDialog::PlacePanel() {
  const QTransform toWidget = picture_->CanvasToWidget();
  panel_->setGeometry(toWidget.mapRect(kPanelRect).toAlignedRect());
  const QRect apply = toWidget.mapRect(kApplyRect).toAlignedRect();
  apply_->setGeometry(apply.x(), apply.y(), std::max(apply.width(), apply_->sizeHint().width()),
                      std::max(apply.height(), apply_->sizeHint().height()));
}

bool EditorDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::Resize) PlacePanel();
  if (watched == summaryHolder_ && event->type() == QEvent::Resize) summary_->setGeometry(summaryHolder_->rect());
  return QDialog::eventFilter(watched, event);
}

void EditorDialog::SelectTab(int tab) {
  if (tabs_->currentIndex() != tab)
    tabs_->setCurrentIndex(tab);  // OnTabChanged follows
  else
    OnTabChanged(tab);
}

// Which group shows, and whether "Apply" applies, depends on the tab alone; no data changes.
void EditorDialog::OnTabChanged(int tab) {
  keyMap_->setVisible(tab == kTabKeyMap);
  midiMap_->setVisible(tab == kTabMidiMap);
  monitorPage_->setVisible(tab == kTabRawMsgs);
  apply_->setEnabled(tab == kTabKeyMap || tab == kTabMidiMap);
}

void EditorDialog::ApplyMapping() {
  switch (tabs_->currentIndex()) {
    case kTabKeyMap: keyMap_->ApplyMapping(); break;
    case kTabMidiMap: midiMap_->ApplyMapping(); break;
    default: break;
  }
  ShowStored();
}

void EditorDialog::ShowStored() {
  RefreshMarks();
  RefreshKeysetTable();
  ShowSummary(QStringLiteral("Stored in %1: ").arg(shown_ ? QString::fromStdString(shown_->Name) : QString()));
  RefreshUnsaved();
}

void EditorDialog::ShowConnection(bool connected) {
  connected_ = connected;
  if (connected) toldNotConnected_ = false;
  RefreshTitle();
  ShowHint();
  RefreshStatus();
}

// Why a click selected nothing, once it has; else, until a control is selected, what to
// do first.
void EditorDialog::ShowHint() {
  if (!connected_ && toldNotConnected_)
    hint_->setText(kNotConnectedNote);
  else
    hint_->setText(selected_ ? QString() : QString(kTouchAControlHint));
  hint_->setVisible(!hint_->text().isEmpty());
}

QPushButton* EditorDialog::PauseButton() const { return monitorPage_->findChild<QPushButton*>("monitorPause"); }
QPushButton* EditorDialog::ClearButton() const { return monitorPage_->findChild<QPushButton*>("monitorClear"); }

QString EditorDialog::Hint() const { return hint_->text(); }

void EditorDialog::SaveShownKeyset() {
  if (shown_) services_.files.SaveKeyset(*shown_);
  RefreshUnsaved();
}

void EditorDialog::SaveAllKeysets() {
  services_.files.SaveAllKeysets();
  RefreshUnsaved();
}

// "E&xit", the close box and Escape all end here; the Keysets are saved once, first.
void EditorDialog::done(int result) {
  if (!saved_) {
    saved_ = true;
    SaveAllKeysets();
  }
  QDialog::done(result);
}

}  // namespace orvo
