#include "app/simulated_surface_window.h"

#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/simulated_surface_picture.h"
#include "protocol/device_modes.h"
#include "sim/host_output_decoder.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

// Smaller than the editor's picture, so that the window fits beside others.
constexpr double kPictureScale = 1.4;
// Narrower, the captions of the picture cannot be read; a short screen takes it this small.
constexpr double kSmallestPictureScale = 1.2;
constexpr int kLogLines = 200;

uint32_t CodeOf(uint8_t status, uint8_t number) { return status | uint32_t{number} << 8; }

void NeverTakeFocus(QWidget* widget) {
  widget->setFocusPolicy(Qt::NoFocus);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
}

}  // namespace

SimulatedSurfaceWindow::SimulatedSurfaceWindow(sim::SimSurface& surface, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowDoesNotAcceptFocus), surface_(surface) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(kSimulatedSurfaceTitle);

  // Every lamp code the host may write, and the controls of the picture that show it.
  const auto& dark = DarkLampBuffer();
  for (std::size_t at = 0; at < dark.size(); at += 3) lampCodes_.insert(CodeOf(dark[at], dark[at + 1]));
  for (const ControlDescriptor& row : kControls)
    if (row.hasLamp) lampsOf_.emplace(row.wireCode, row.id);

  picture_ = new SimulatedSurfacePicture([this](const std::vector<uint8_t>& message) { Send(message); },
                                         kPictureScale, this);
  auto* hint = new QLabel(
      "Click a button (a right-click holds it down), drag a fader, turn a pot or the wheel with the mouse wheel "
      "or a drag. To map a control: click the Orvo icon in the tray (or choose \"Start Editor\" in its menu), "
      "touch the control here, press the key it should type or choose its MIDI, then Apply.",
      this);
  hint->setWordWrap(true);
  log_ = new QPlainTextEdit(this);
  log_->setReadOnly(true);
  log_->setMaximumBlockCount(kLogLines);
  log_->setPlaceholderText("What the driver does with each press, and what the host sends besides lamps and modes");
  log_->setFixedHeight(log_->fontMetrics().lineSpacing() * 3 + 12);
  picture_->SetMinimumScale(kSmallestPictureScale);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(picture_, 1);
  layout->addWidget(hint);
  layout->addWidget(log_);
  NeverTakeFocus(this);
  // Qt would open a window at two thirds of the screen at most: take what the picture asks
  // (the session fits it to the screen).
  resize(sizeHint());

  surface_.SetBytesCallback([this](const std::vector<uint8_t>& bytes) {
    // The surface's reader thread: the bytes go to the GUI thread by value. The destructor
    // clears this callback (which waits for a running one) before the window goes, and
    // Qt drops what is still queued for a window that is gone.
    QMetaObject::invokeMethod(this, [this, bytes] { OnHostBytes(bytes); }, Qt::QueuedConnection);
  });
}

SimulatedSurfaceWindow::~SimulatedSurfaceWindow() { surface_.SetBytesCallback({}); }

QString SimulatedSurfaceWindow::LogText() const { return log_->toPlainText(); }

void SimulatedSurfaceWindow::Send(const std::vector<uint8_t>& message) {
  if (!surface_.Send(message))
    Log(QString("not sent (%1): the surface is unplugged or the driver does not read")
            .arg(QString::fromStdString(sim::HexBytes(message.data(), message.size()))));
}

void SimulatedSurfaceWindow::OnHostBytes(const std::vector<uint8_t>& bytes) {
  for (const std::vector<uint8_t>& message : splitter_.Feed(bytes.data(), bytes.size())) OnHostMessage(message);
}

void SimulatedSurfaceWindow::OnHostMessage(const std::vector<uint8_t>& message) {
  if (sim::IsShortMessage(message) && (message[2] == 0x7F || message[2] == 0x00) &&
      lampCodes_.count(CodeOf(message[0], message[1]))) {
    // A lamp code is shared by both layers of a button: both pictures show it.
    const auto [first, last] = lampsOf_.equal_range(CodeOf(message[0], message[1]));
    for (auto it = first; it != last; ++it) picture_->SetLamp(it->second, message[2] == 0x7F);
    return;
  }
  if (const int32_t mode = sim::ModeOfMessage(message); mode >= 0) {
    lastMode_ = mode;
    ShowTitle();
    return;
  }
  Log(QString::fromStdString(sim::HexBytes(message.data(), message.size())));
}

void SimulatedSurfaceWindow::ShowConnection(bool connected) {
  connected_ = connected;
  ShowTitle();
}

void SimulatedSurfaceWindow::ShowTitle() {
  if (!connected_)
    setWindowTitle(QString("%1 - not connected").arg(kSimulatedSurfaceTitle));
  else if (lastMode_ >= 0)
    setWindowTitle(QString("%1 - %2 mode").arg(kSimulatedSurfaceTitle, ModeDisplayName(lastMode_)));
  else
    setWindowTitle(kSimulatedSurfaceTitle);
}

void SimulatedSurfaceWindow::ShowDriverLine(const QString& line) { Log(line); }

void SimulatedSurfaceWindow::Log(const QString& line) { log_->appendPlainText(line); }

}  // namespace orvo
