#pragma once
// The picture of the surface: every control drawn released or pressed, lamps lit or dark,
// scaled to the widget with its aspect kept. A mouse press on a control emits
// controlClicked. Shared by the editor and the simulated-surface window.
#include <QPixmap>
#include <QWidget>

#include <array>
#include <bitset>
#include <optional>

#include "editor/surface_layout.h"

namespace orvo {

class SurfacePicture : public QWidget {
  Q_OBJECT

 public:
  // Bank and Shift are always drawn; `clickLayerButtons` lets them be clicked (simulated
  // surface: the editor maps neither).
  explicit SurfacePicture(bool clickLayerButtons = false, double scale = kDefaultSurfaceScale,
                          QWidget* parent = nullptr);

  void SetPressed(ControlId id, bool pressed);
  void SetLamp(ControlId id, bool lit);
  bool IsPressed(ControlId id) const;
  bool IsLampLit(ControlId id) const;
  // Where a fader's cap is drawn, 0x00-0x7F (the simulated surface moves them); a fader
  // never placed rests at its usual place. Ids that are no fader are ignored.
  void SetFaderLevel(ControlId fader, int value);
  std::optional<int> FaderLevel(ControlId fader) const;
  // The Bank and Shift layers in force (ProtocolState's values): the captions of the
  // channel and F buttons of the other layer are drawn dim. All are bright until told.
  void SetLayers(int bankLayer, int shiftLayer);
  bool InForce(ControlId id) const;

  // Dialog units to widget pixels and back, for the current size.
  QTransform CanvasToWidget() const;
  QPointF WidgetToCanvas(QPointF widgetPoint) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The picture's aspect, so that a window sized to a width is not padded above and below.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 signals:
  void controlClicked(orvo::ControlId id);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void UpdateControl(ControlId id);
  const QPixmap& Background();
  static std::size_t Slot(ControlId id);
  static bool InRange(ControlId id);
  static constexpr ControlId kFirstFader = 1224;
  static constexpr std::size_t kFaderCount = 32;
  static bool IsFader(ControlId id) { return id >= kFirstFader && id < kFirstFader + ControlId(kFaderCount); }

  bool clickLayerButtons_;
  int bankLayer_ = -1;  // -1: no layer told, every caption bright
  int shiftLayer_ = -1;
  double scale_;
  std::bitset<kLastControlId - kFirstControlId + 1> pressed_;
  std::bitset<kLastControlId - kFirstControlId + 1> lamps_;
  std::array<int, kFaderCount> faderLevels_;  // -1: at rest
  QPixmap background_;  // the panels at the current size
};

}  // namespace orvo
