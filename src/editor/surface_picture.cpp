#include "editor/surface_picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

#include "editor/surface_painter.h"

namespace orvo {
namespace {

// Where a control's drawing may reach, in dialog units: its labels and outlines go a
// little past its rectangle, and a pot or wheel half is drawn as part of the whole knob.
QRectF PaintedArea(const ControlLayout& layout) {
  constexpr double kReach = 6;
  QRectF area = layout.rect;
  ControlId partner = 0;
  if (layout.family == SurfaceFamily::PotHalf) partner = layout.id < 1262 ? layout.id + 6 : layout.id - 6;
  if (layout.family == SurfaceFamily::WheelHalf) partner = layout.id == 1269 ? 1270 : 1269;
  if (const ControlLayout* other = partner ? LayoutOf(partner) : nullptr) area = area.united(other->rect);
  return area.adjusted(-kReach, -kReach, kReach, kReach);
}

}  // namespace

SurfacePicture::SurfacePicture(bool clickLayerButtons, double scale, QWidget* parent)
    : QWidget(parent), clickLayerButtons_(clickLayerButtons), scale_(scale) {
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  faderLevels_.fill(-1);
}

bool SurfacePicture::InRange(ControlId id) { return id >= kFirstControlId && id <= kLastControlId; }

std::size_t SurfacePicture::Slot(ControlId id) { return static_cast<std::size_t>(id - kFirstControlId); }

void SurfacePicture::SetPressed(ControlId id, bool pressed) {
  if (!InRange(id) || pressed_.test(Slot(id)) == pressed) return;
  pressed_.set(Slot(id), pressed);
  UpdateControl(id);
}

void SurfacePicture::SetLamp(ControlId id, bool lit) {
  if (!InRange(id) || lamps_.test(Slot(id)) == lit) return;
  lamps_.set(Slot(id), lit);
  UpdateControl(id);
}

void SurfacePicture::SetFaderLevel(ControlId fader, int value) {
  if (!IsFader(fader)) return;
  value = std::clamp(value, 0, kFaderTop);
  int& level = faderLevels_[static_cast<std::size_t>(fader - kFirstFader)];
  if (level == value) return;
  level = value;
  UpdateControl(fader);
}

std::optional<int> SurfacePicture::FaderLevel(ControlId fader) const {
  if (!IsFader(fader)) return std::nullopt;
  const int level = faderLevels_[static_cast<std::size_t>(fader - kFirstFader)];
  return level < 0 ? std::nullopt : std::optional<int>(level);
}

void SurfacePicture::SetLayers(int bankLayer, int shiftLayer) {
  if (bankLayer == bankLayer_ && shiftLayer == shiftLayer_) return;
  bankLayer_ = bankLayer;
  shiftLayer_ = shiftLayer;
  background_ = QPixmap();  // the row labels are part of it
  update();
}

bool SurfacePicture::InForce(ControlId id) const {
  const ControlDescriptor* row = LookupControlById(id);
  if (!row) return true;
  switch (row->layer) {
    case ControlLayer::None: return true;
    case ControlLayer::BankOn: return bankLayer_ != 0;
    case ControlLayer::BankOff: return bankLayer_ != 1;
    case ControlLayer::ShiftOn: return shiftLayer_ != 0;
    case ControlLayer::ShiftOff: return shiftLayer_ != 1;
  }
  return true;
}

bool SurfacePicture::IsPressed(ControlId id) const { return InRange(id) && pressed_.test(Slot(id)); }

bool SurfacePicture::IsLampLit(ControlId id) const { return InRange(id) && lamps_.test(Slot(id)); }

// The canvas is scaled to fit, aspect kept, and centred in the widget.
QTransform SurfacePicture::CanvasToWidget() const {
  const double fit = std::min(width() / kSurfaceCanvasSize.width(), height() / kSurfaceCanvasSize.height());
  const double dx = (width() - kSurfaceCanvasSize.width() * fit) / 2;
  const double dy = (height() - kSurfaceCanvasSize.height() * fit) / 2;
  return QTransform(fit, 0, 0, fit, dx, dy);
}

QPointF SurfacePicture::WidgetToCanvas(QPointF widgetPoint) const {
  return CanvasToWidget().inverted().map(widgetPoint);
}

QSize SurfacePicture::sizeHint() const { return SurfacePixelSize(scale_).toSize(); }

int SurfacePicture::heightForWidth(int width) const {
  return qRound(width * kSurfaceCanvasSize.height() / kSurfaceCanvasSize.width());
}

QSize SurfacePicture::minimumSizeHint() const { return SurfacePixelSize(1.0).toSize(); }

// Only what a change touches is painted again: a selection or a lamp must not cost the
// whole surface, since the read thread may be waiting for the editor meanwhile.
void SurfacePicture::UpdateControl(ControlId id) {
  if (const ControlLayout* layout = LayoutOf(id)) update(CanvasToWidget().mapRect(PaintedArea(*layout)).toAlignedRect());
}

// The panels do not change: drawn once for each size, then copied.
const QPixmap& SurfacePicture::Background() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (background_.size() != pixels) {
    background_ = QPixmap(pixels);
    background_.setDevicePixelRatio(ratio);
    background_.fill(QColor(0x12, 0x12, 0x14));
    QPainter painter(&background_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setTransform(CanvasToWidget());
    PaintSurfacePanels(painter, bankLayer_, shiftLayer_);
  }
  return background_;
}

void SurfacePicture::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, Background());
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const QTransform toWidget = CanvasToWidget();
  const QRectF exposed = toWidget.inverted().mapRect(QRectF(event->rect()));
  painter.setTransform(toWidget);
  for (const ControlLayout& layout : SurfaceLayout()) {
    if (!PaintedArea(layout).intersects(exposed)) continue;
    PaintSurfaceControl(painter, layout, IsPressed(layout.id), IsLampLit(layout.id) && HasLamp(layout),
                        FaderLevel(layout.id), InForce(layout.id));
  }
}

void SurfacePicture::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (std::optional<ControlId> id = ControlAt(WidgetToCanvas(event->position()), clickLayerButtons_))
    emit controlClicked(*id);
}

}  // namespace orvo
