#include "editor/surface_picture.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
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

QSize SurfacePicture::minimumSizeHint() const { return SurfacePixelSize(minimumScale_).toSize(); }

void SurfacePicture::SetMinimumScale(double scale) {
  minimumScale_ = scale;
  updateGeometry();
}

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
  for (const auto& [id, mark] : marks_)
    if (const ControlLayout* layout = LayoutOf(id); layout && PaintedArea(*layout).intersects(exposed))
      PaintMark(painter, *layout, mark);
}

void SurfacePicture::SetMarks(std::map<ControlId, Mark> marks) {
  if (marks == marks_) return;
  for (const auto& [id, mark] : marks_) UpdateControl(id);
  marks_ = std::move(marks);
  for (const auto& [id, mark] : marks_) UpdateControl(id);
}

// A small tag at the control's top right corner, in dialog units, over whatever is drawn.
void SurfacePicture::PaintMark(QPainter& painter, const ControlLayout& layout, const Mark& mark) const {
  const double height = 6.5;
  const double width = std::max(height, 3.6 * mark.badge.size() + 2.8);
  const QRectF tag(layout.rect.right() - width + 2, layout.rect.top() - 2.5, width, height);
  painter.save();
  painter.setPen(QPen(QColor(0x10, 0x10, 0x10), 0.5));
  painter.setBrush(QColor(0x3D, 0xD6, 0xF5));
  painter.drawRoundedRect(tag, 2.2, 2.2);
  QFont font = painter.font();
  font.setPointSizeF(4.6);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0x05, 0x20, 0x30));
  painter.drawText(tag, Qt::AlignCenter, mark.badge);
  painter.restore();
}

QString SurfacePicture::ToolTipAt(QPointF widgetPoint) const {
  const std::optional<ControlId> id = ControlAt(WidgetToCanvas(widgetPoint), true);
  const ControlDescriptor* row = id ? LookupControlById(*id) : nullptr;
  if (!row) return {};
  const auto mark = marks_.find(*id);
  const QString name = QString::fromLatin1(row->name);
  return mark == marks_.end() ? name : name + QStringLiteral(": ") + mark->second.words;
}

bool SurfacePicture::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, this);
    return true;
  }
  return QWidget::event(event);
}

void SurfacePicture::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (std::optional<ControlId> id = ControlAt(WidgetToCanvas(event->position()), clickLayerButtons_))
    emit controlClicked(*id);
}

}  // namespace orvo
