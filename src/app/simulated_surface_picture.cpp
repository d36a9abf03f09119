#include "app/simulated_surface_picture.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

#include "sim/surface_events.h"

namespace orvo {
namespace {

constexpr ControlId kFader1 = 1224;

bool IsClockwiseHalf(const ControlLayout& layout) {
  return layout.family == SurfaceFamily::PotHalf ? layout.id >= 1262 : layout.id == 1270;
}

std::size_t HeldSlot(ControlId id) { return static_cast<std::size_t>(id - kFirstControlId); }

}  // namespace

SimulatedSurfacePicture::SimulatedSurfacePicture(Send send, double scale, QWidget* parent)
    : SurfacePicture(true, scale, parent), send_(std::move(send)) {}

SimulatedSurfacePicture::Kind SimulatedSurfacePicture::KindOf(ControlId id) {
  switch (LayoutOf(id)->family) {
    case SurfaceFamily::Fader: return Kind::kFader;
    case SurfaceFamily::PotHalf: return Kind::kPot;
    case SurfaceFamily::WheelHalf: return Kind::kWheel;
    default: return Kind::kButton;
  }
}

void SimulatedSurfacePicture::PressButton(ControlId id, bool down) {
  SetPressed(id, down);
  send_(sim::ButtonEvent(*LookupControlById(id), down));
}

void SimulatedSurfacePicture::MoveFader(Gesture& gesture, double canvasY) {
  const int value = FaderValueAt(*LayoutOf(gesture.id), canvasY);
  if (value == gesture.faderValue) return;
  gesture.faderValue = value;
  SetFaderLevel(gesture.id, value);
  send_(sim::FaderEvent(gesture.id - kFader1 + 1, value));
}

void SimulatedSurfacePicture::Turn(ControlId half, bool clockwise) {
  if (KindOf(half) == Kind::kWheel) {
    send_(sim::WheelStepEvent(clockwise));
    return;
  }
  const uint8_t number = static_cast<uint8_t>((LookupControlById(half)->wireCode >> 8) & 0xFF);
  send_(sim::PotStepEvent(number, clockwise));
}

void SimulatedSurfacePicture::TurnBy(Gesture& gesture, double distance) {
  gesture.travel += distance;
  for (; gesture.travel >= kTurnStep; gesture.travel -= kTurnStep, gesture.turned = true) Turn(gesture.id, true);
  for (; gesture.travel <= -kTurnStep; gesture.travel += kTurnStep, gesture.turned = true) Turn(gesture.id, false);
}

void SimulatedSurfacePicture::mousePressEvent(QMouseEvent* event) {
  const QPointF at = WidgetToCanvas(event->position());
  const std::optional<ControlId> id = ControlAt(at, true);
  if (event->button() == Qt::RightButton) {
    if (id && KindOf(*id) == Kind::kButton && !gesture_) {
      held_.flip(HeldSlot(*id));
      PressButton(*id, held_.test(HeldSlot(*id)));
    }
    return;
  }
  if (event->button() != Qt::LeftButton || gesture_) return;
  SurfacePicture::mousePressEvent(event);  // controlClicked, as on every picture
  if (!id) return;
  if (held_.test(HeldSlot(*id))) {  // a left click lets a held button go
    held_.reset(HeldSlot(*id));
    PressButton(*id, false);
    return;
  }
  Gesture gesture{*id, KindOf(*id), at};
  switch (gesture.kind) {
    case Kind::kButton: PressButton(*id, true); break;
    case Kind::kFader:
      SetPressed(*id, true);
      MoveFader(gesture, at.y());
      break;
    case Kind::kPot:
    case Kind::kWheel: SetPressed(*id, true); break;
  }
  gesture_ = gesture;
}

void SimulatedSurfacePicture::mouseMoveEvent(QMouseEvent* event) {
  if (!gesture_) return;
  const QPointF at = WidgetToCanvas(event->position());
  switch (gesture_->kind) {
    case Kind::kButton: break;
    case Kind::kFader: MoveFader(*gesture_, at.y()); break;
    case Kind::kPot:
    case Kind::kWheel: TurnBy(*gesture_, (at.x() - gesture_->last.x()) - (at.y() - gesture_->last.y())); break;
  }
  gesture_->last = at;
}

void SimulatedSurfacePicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !gesture_) return;
  Gesture gesture = *gesture_;
  gesture_.reset();
  const QPointF at = WidgetToCanvas(event->position());
  switch (gesture.kind) {
    case Kind::kButton: PressButton(gesture.id, false); return;  // wherever the mouse is now
    case Kind::kFader: MoveFader(gesture, at.y()); break;       // ends at the drop point
    case Kind::kPot:
    case Kind::kWheel:
      TurnBy(gesture, (at.x() - gesture.last.x()) - (at.y() - gesture.last.y()));
      if (!gesture.turned) Turn(gesture.id, IsClockwiseHalf(*LayoutOf(gesture.id)));  // a click
      break;
  }
  SetPressed(gesture.id, false);
}

// Away from the user (up) or to the right turns clockwise; a finer wheel adds up to whole
// notches.
void SimulatedSurfacePicture::wheelEvent(QWheelEvent* event) {
  const std::optional<ControlId> id = ControlAt(WidgetToCanvas(event->position()), true);
  if (!id || (KindOf(*id) != Kind::kPot && KindOf(*id) != Kind::kWheel)) {
    wheelTarget_.reset();
    return event->ignore();
  }
  event->accept();
  // Both halves of one pot or of the wheel turn the same control.
  const ControlId control = KindOf(*id) == Kind::kWheel ? 1269 : (*id >= 1262 ? *id - 6 : *id);
  if (wheelTarget_ != control) wheelAngle_ = 0;
  wheelTarget_ = control;
  const QPoint angle = event->angleDelta();
  wheelAngle_ += angle.y() != 0 ? angle.y() : -angle.x();  // a tilt to the left counts positive
  for (; wheelAngle_ >= kWheelNotch; wheelAngle_ -= kWheelNotch) Turn(*id, true);
  for (; wheelAngle_ <= -kWheelNotch; wheelAngle_ += kWheelNotch) Turn(*id, false);
}

}  // namespace orvo
