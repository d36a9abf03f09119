#pragma once
// The surface picture played with the mouse, as the simulated surface's face: a button
// goes down on mouse-down and up on mouse-up (a right-click holds it down until the next
// click, so that Shift can be held while an F button is pressed); a fader follows a drag
// and ends where it is dropped; a pot or the wheel turns by the mouse wheel or a drag
// (right or up is clockwise), and a click on one of its halves turns it one step that
// way. Every message goes to `send`. GUI thread.
#include <QPointF>

#include <bitset>
#include <functional>
#include <optional>
#include <vector>

#include "editor/surface_picture.h"
#include "protocol/control_table.h"

namespace orvo {

class SimulatedSurfacePicture : public SurfacePicture {
  Q_OBJECT
 public:
  using Send = std::function<void(const std::vector<uint8_t>&)>;
  SimulatedSurfacePicture(Send send, double scale, QWidget* parent = nullptr);

  // Canvas distance of a drag that turns a pot or the wheel by one step.
  static constexpr double kTurnStep = 3;
  // Mouse wheel angle of one step (one notch of a common wheel).
  static constexpr int kWheelNotch = 120;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum class Kind { kButton, kFader, kPot, kWheel };
  struct Gesture {
    ControlId id;
    Kind kind;
    QPointF last;         // canvas point of the last move
    double travel = 0;    // drag not yet turned into steps
    bool turned = false;  // a drag has turned it
    int faderValue = -1;  // the value last sent
  };

  static Kind KindOf(ControlId id);
  void PressButton(ControlId id, bool down);
  void MoveFader(Gesture& gesture, double canvasY);
  void Turn(ControlId half, bool clockwise);
  void TurnBy(Gesture& gesture, double distance);

  Send send_;
  std::optional<Gesture> gesture_;
  std::bitset<kLastControlId - kFirstControlId + 1> held_;  // held down by a right-click
  std::optional<ControlId> wheelTarget_;
  int wheelAngle_ = 0;  // mouse wheel angle not yet turned into steps
};

}  // namespace orvo
