#pragma once
// The picture of the surface: every control drawn released or pressed, lamps lit or dark,
// scaled to the widget with its aspect kept. A mouse press on a control emits
// controlClicked. Shared by the editor and the simulated-surface window.
#include <QPixmap>
#include <QWidget>

#include <array>
#include <bitset>
#include <map>
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

  // What each mapped control does: `badge` is drawn on the control (a letter or two:
  // "K" a keystroke, "M" a MIDI rule), `words` is its tooltip ("Space; CC 74, ch 1").
  // Controls not in `marks` carry none.
  struct Mark {
    QString badge;
    QString words;
    bool operator==(const Mark&) const = default;
  };
  void SetMarks(std::map<ControlId, Mark> marks);
  const std::map<ControlId, Mark>& Marks() const { return marks_; }
  // The tooltip of the control under a widget point: its name, and what it does.
  QString ToolTipAt(QPointF widgetPoint) const;

  // Dialog units to widget pixels and back, for the current size.
  QTransform CanvasToWidget() const;
  QPointF WidgetToCanvas(QPointF widgetPoint) const;

  // The smallest scale the picture may be shown at, where its captions can still be read.
  void SetMinimumScale(double scale);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The picture's aspect, so that a window sized to a width is not padded above and below.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 signals:
  void controlClicked(orvo::ControlId id);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void UpdateControl(ControlId id);
  void PaintMark(QPainter& painter, const ControlLayout& layout, const Mark& mark) const;
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
  double minimumScale_ = 1.0;
  std::bitset<kLastControlId - kFirstControlId + 1> pressed_;
  std::bitset<kLastControlId - kFirstControlId + 1> lamps_;
  std::array<int, kFaderCount> faderLevels_;  // -1: at rest
  std::map<ControlId, Mark> marks_;
  QPixmap background_;  // the panels at the current size
};

}  // namespace orvo
