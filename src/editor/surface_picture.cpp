#include "editor/surface_picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

#include "editor/surface_painter.h"

namespace orvo {

SurfacePicture::SurfacePicture(bool showLayerButtons, double scale, QWidget* parent)
    : QWidget(parent), showLayerButtons_(showLayerButtons), scale_(scale) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  faderLevels_.fill(-1);
}

bool SurfacePicture::InRange(ControlId id) { return id >= kFirstControlId && id <= kLastControlId; }

std::size_t SurfacePicture::Slot(ControlId id) { return static_cast<std::size_t>(id - kFirstControlId); }

void SurfacePicture::SetPressed(ControlId id, bool pressed) {
  if (!InRange(id) || pressed_.test(Slot(id)) == pressed) return;
  pressed_.set(Slot(id), pressed);
  update();
}

void SurfacePicture::SetLamp(ControlId id, bool lit) {
  if (!InRange(id) || lamps_.test(Slot(id)) == lit) return;
  lamps_.set(Slot(id), lit);
  update();
}

void SurfacePicture::SetFaderLevel(ControlId fader, int value) {
  if (!IsFader(fader)) return;
  value = std::clamp(value, 0, kFaderTop);
  int& level = faderLevels_[static_cast<std::size_t>(fader - kFirstFader)];
  if (level == value) return;
  level = value;
  update();
}

std::optional<int> SurfacePicture::FaderLevel(ControlId fader) const {
  if (!IsFader(fader)) return std::nullopt;
  const int level = faderLevels_[static_cast<std::size_t>(fader - kFirstFader)];
  return level < 0 ? std::nullopt : std::optional<int>(level);
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

QSize SurfacePicture::minimumSizeHint() const { return SurfacePixelSize(1.0).toSize(); }

void SurfacePicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(rect(), QColor(0x12, 0x12, 0x14));
  painter.setTransform(CanvasToWidget());
  PaintSurfacePanels(painter, showLayerButtons_);
  for (const ControlLayout& layout : SurfaceLayout()) {
    if (!layout.mappable && !showLayerButtons_) continue;
    PaintSurfaceControl(painter, layout, IsPressed(layout.id), IsLampLit(layout.id) && HasLamp(layout),
                        FaderLevel(layout.id));
  }
}

void SurfacePicture::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (std::optional<ControlId> id = ControlAt(WidgetToCanvas(event->position()), showLayerButtons_))
    emit controlClicked(*id);
}

}  // namespace orvo
