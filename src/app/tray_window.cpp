#include "app/tray_window.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include "app/tray_icons.h"
#include "editor/status_line.h"

namespace orvo {
TrayState TrayStateOf(ConnectionState state, const std::string& midiProblem, const std::string& absentPorts) {
  if (state != ConnectionState::kConnected) {
    QString tip = "Orvo Disconnected\nsurface not connected";
    if (!midiProblem.empty()) tip += "\n" + NoMidiSystemText(midiProblem);
    return {TrayLook::kDisconnected, tip};
  }
  if (!midiProblem.empty()) return {TrayLook::kMidiTrouble, "Orvo\n" + NoMidiSystemText(midiProblem)};
  if (!absentPorts.empty()) return {TrayLook::kMidiTrouble, "Orvo\n" + QString::fromLocal8Bit(absentPorts.c_str())};
  return {TrayLook::kConnected, "Orvo"};
}

TrayWindow::TrayWindow(Commands commands, bool useTray)
    : commands_(std::move(commands)),
      connectedIcon_(ConnectedIcon()),
      disconnectedIcon_(DisconnectedIcon()),
      midiTroubleIcon_(MidiTroubleIcon()) {
  BuildMenu();
  if (useTray) {
    tray_ = std::make_unique<QSystemTrayIcon>();
    tray_->setContextMenu(menu_.get());  // opened by the right button
    // A click (or a double click) on the icon is the way into the editor.
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) && commands_.startEditor)
        commands_.startEditor();
    });
  } else {
    BuildStatusWindow();
  }
}

TrayWindow::~TrayWindow() {
  if (tray_) tray_->hide();
}

void TrayWindow::BuildMenu() {
  menu_ = std::make_unique<QMenu>();
  menu_->setTitle("Orvo TaskBar");
  connect(menu_->addAction("&Start Editor"), &QAction::triggered, this, [this] {
    if (commands_.startEditor) commands_.startEditor();
  });
  if (commands_.showSimulatedSurface)
    connect(menu_->addAction("Simulated &Surface"), &QAction::triggered, this, [this] { commands_.showSimulatedSurface(); });
  menu_->addSeparator();
  connect(menu_->addAction("&About"), &QAction::triggered, this, [this] { ShowAbout(); });
  menu_->addSeparator();
  connect(menu_->addAction("&Exit"), &QAction::triggered, this, [this] {
    if (commands_.exit) commands_.exit();
  });
}

namespace {
// The small window is the only way in where there is no tray: closing it ends the driver,
// as "&Exit" does, rather than leaving it running with no window and no icon.
class ExitOnClose : public QObject {
 public:
  ExitOnClose(QObject* parent, std::function<void()> exit) : QObject(parent), exit_(std::move(exit)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Close && exit_) exit_();
    return false;
  }

 private:
  std::function<void()> exit_;
};
}  // namespace

// For desktops without a tray: the state and the same three commands in a small window.
void TrayWindow::BuildStatusWindow() {
  statusWindow_ = std::make_unique<QWidget>();
  statusWindow_->installEventFilter(new ExitOnClose(statusWindow_.get(), [this] {
    if (commands_.exit) commands_.exit();
  }));
  statusWindow_->setWindowTitle("Orvo");
  auto* layout = new QVBoxLayout(statusWindow_.get());
  auto* top = new QHBoxLayout;
  statusIcon_ = new QLabel;
  statusText_ = new QLabel;
  top->addWidget(statusIcon_);
  top->addWidget(statusText_, 1);
  layout->addLayout(top);
  auto* buttons = new QHBoxLayout;
  for (QAction* action : menu_->actions()) {
    if (action->isSeparator()) continue;
    auto* button = new QPushButton(action->text());
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
}

void TrayWindow::CreateTrayWindow() {
  ShowConnectionState(ConnectionState::kDisconnected);
  if (statusWindow_) statusWindow_->show();
  if (commands_.checkConnection) commands_.checkConnection();
}

void TrayWindow::ShowConnectionState(ConnectionState state) {
  state_.store(state);
  ShowState();
}

void TrayWindow::ShowMidiState(const std::string& midiProblem, const std::string& absentPorts) {
  if (midiProblem == midiProblem_ && absentPorts == absentPorts_) return;
  midiProblem_ = midiProblem;
  absentPorts_ = absentPorts;
  ShowState();
}

void TrayWindow::ShowState() {
  const TrayState shown = TrayStateOf(state_.load(), midiProblem_, absentPorts_);
  const QIcon& icon = shown.look == TrayLook::kConnected    ? connectedIcon_
                      : shown.look == TrayLook::kMidiTrouble ? midiTroubleIcon_
                                                             : disconnectedIcon_;
  if (tray_) {
    tray_->setIcon(icon);
    tray_->setToolTip(shown.tip);
    tray_->show();
  }
  if (statusWindow_) {
    statusIcon_->setPixmap(icon.pixmap(48, 48));
    QString text = state_.load() == ConnectionState::kConnected ? "The surface is connected." : "No surface is connected.";
    const qsizetype trouble = shown.tip.indexOf('\n');
    if (shown.look == TrayLook::kMidiTrouble && trouble >= 0) text += "\n" + shown.tip.mid(trouble + 1);
    statusText_->setText(text);
    statusWindow_->setWindowIcon(icon);
    statusWindow_->setToolTip(shown.tip);
  }
}

void TrayWindow::RemoveTrayIcon() {
  // The icon is replaced in place by the next ShowConnectionState; hiding it in between
  // would only make it flicker.
}

QString TrayWindow::ToolTip() const { return TrayStateOf(state_.load(), midiProblem_, absentPorts_).tip; }

void TrayWindow::OnDeviceChange() {
  if (commands_.checkConnection) commands_.checkConnection();
}

void TrayWindow::ShowAbout(QWidget* owner) {
  if (about_) {
    about_->raise();
    about_->activateWindow();
    return;
  }
  QDialog dialog(owner);
  about_ = &dialog;
  dialog.setWindowTitle("About Orvo");
  auto* layout = new QHBoxLayout(&dialog);
  auto* icon = new QLabel;
  icon->setPixmap(DrawTrayPixmap(true, 64));
  icon->setAlignment(Qt::AlignTop);
  layout->addWidget(icon);
  auto* text = new QVBoxLayout;
  text->addWidget(new QLabel("Orvo Version 1.0"));
  text->addWidget(new QLabel("Driver and key/MIDI map editor for the Orvo Tablan control surface."));
  text->addWidget(new QLabel("Keys and MIDI for the application in front, lamps lit by its MIDI."));
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(ok, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  text->addWidget(ok);
  layout->addLayout(text);
  dialog.exec();
}

}  // namespace orvo
