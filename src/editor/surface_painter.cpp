#include "editor/surface_painter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>

#include <cstring>

namespace orvo {
namespace {

const QColor kOutlinePressed(0x4f, 0xc3, 0xf7);
const QColor kLabel(0xb8, 0xbc, 0xc4);
const QColor kSymbol(0xe4, 0xe6, 0xea);
const QColor kSymbolDim(0x78, 0x7b, 0x82);  // a caption of the layer not in force
const QColor kLabelDim(0x5c, 0x5f, 0x66);

bool Is(const ControlLayout& layout, const char* caption) { return std::strcmp(layout.caption, caption) == 0; }

// Text in dialog units: fonts take whole pixels, so draw at ten times the size, scaled down.
void DrawLabel(QPainter& p, const QRectF& rect, const QString& text, double sizeDu, const QColor& color,
               int flags = Qt::AlignCenter, bool bold = false) {
  p.save();
  p.translate(rect.topLeft());
  p.scale(0.1, 0.1);
  QFont font = p.font();
  font.setPixelSize(qRound(sizeDu * 10));
  font.setBold(bold);
  p.setFont(font);
  p.setPen(color);
  p.drawText(QRectF(0, 0, rect.width() * 10, rect.height() * 10), flags, text);
  p.restore();
}

void DrawScrew(QPainter& p, QPointF centre) {
  QRadialGradient g(centre - QPointF(0.6, 0.6), 2.5);
  g.setColorAt(0, QColor(0x8a, 0x8d, 0x93));
  g.setColorAt(1, QColor(0x3a, 0x3c, 0x40));
  p.setPen(QPen(QColor(0x15, 0x16, 0x18), 0.3));
  p.setBrush(g);
  p.drawEllipse(centre, 2.2, 2.2);
  p.setPen(QPen(QColor(0x20, 0x21, 0x24), 0.4));
  p.drawLine(centre + QPointF(-1.4, 0), centre + QPointF(1.4, 0));
}

void DrawPanel(QPainter& p, const QRectF& rect, QColor top, QColor bottom) {
  QLinearGradient g(rect.topLeft(), rect.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(QPen(QColor(0x0c, 0x0c, 0x0e), 0.8));
  p.setBrush(g);
  p.drawRoundedRect(rect.adjusted(0.4, 0.4, -0.4, -0.4), 4, 4);
  p.setPen(QPen(QColor(255, 255, 255, 28), 0.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
  const double inset = 5;
  for (QPointF corner : {rect.topLeft() + QPointF(inset, inset), rect.topRight() + QPointF(-inset, inset),
                         rect.bottomLeft() + QPointF(inset, -inset), rect.bottomRight() + QPointF(-inset, -inset)})
    DrawScrew(p, corner);
}

// A raised key; pressed keys sink, darken and get the highlight outline.
void DrawKey(QPainter& p, QRectF rect, bool pressed, QColor face = QColor(0x5a, 0x5e, 0x66), double radius = 1.5) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 110));
  p.drawRoundedRect(rect.translated(0.5, 0.7), radius, radius);
  if (pressed) rect.translate(0.4, 0.5);
  QLinearGradient g(rect.topLeft(), rect.bottomLeft());
  const QColor base = pressed ? face.darker(150) : face;
  g.setColorAt(0, pressed ? base.darker(115) : base.lighter(125));
  g.setColorAt(1, pressed ? base.lighter(105) : base.darker(125));
  p.setBrush(g);
  p.setPen(pressed ? QPen(kOutlinePressed, 0.6) : QPen(QColor(0x14, 0x15, 0x17), 0.4));
  p.drawRoundedRect(rect, radius, radius);
}

QColor LampColour(const ControlLayout& layout) {
  if (Is(layout, "MUTE")) return QColor(0xff, 0xa0, 0x1c);
  if (Is(layout, "SOLO")) return QColor(0x3c, 0xe0, 0x5a);
  if (Is(layout, "ARM") || Is(layout, "REC")) return QColor(0xff, 0x30, 0x30);
  if (Is(layout, "LOCATE")) return QColor(0xff, 0xe0, 0x40);
  if (Is(layout, "PAN")) return QColor(0x40, 0xa8, 0xff);
  return QColor(0x5c, 0xf0, 0xd0);  // SELECT
}

void DrawLamp(QPainter& p, const QRectF& lamp, QColor colour, bool lit) {
  if (lit) {
    QRadialGradient glow(lamp.center(), lamp.width());
    glow.setColorAt(0, QColor(colour.red(), colour.green(), colour.blue(), 120));
    glow.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(lamp.center(), lamp.width(), lamp.width() * 0.8);
  }
  p.setPen(QPen(QColor(0x10, 0x10, 0x10), 0.3));
  p.setBrush(lit ? colour.lighter(120) : colour.darker(420));
  p.drawRoundedRect(lamp, 0.8, 0.8);
}

QString ChannelText(const ControlLayout& layout) {
  if (Is(layout, "SELECT")) return "SEL";
  if (Is(layout, "LOCATE")) return "LOC";
  return layout.caption;
}

void DrawChannelButton(QPainter& p, const ControlLayout& layout, bool pressed, bool lit, bool inForce) {
  DrawKey(p, layout.rect, pressed);
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  DrawLamp(p, QRectF(face.left() + 4, face.top() + 1.8, face.width() - 8, 2.6), LampColour(layout), lit);
  DrawLabel(p, QRectF(face.left(), face.top() + 5, face.width(), face.height() - 5.5), ChannelText(layout), 3.4,
            inForce ? kSymbol : kSymbolDim, Qt::AlignCenter, inForce);
}

int FNumber(const ControlLayout& layout) {
  return Is(layout, "FBTNS") ? layout.id - 1193 : layout.id - 1213;
}

void DrawFButton(QPainter& p, const ControlLayout& layout, bool pressed, bool inForce) {
  const bool shifted = Is(layout, "SHIFTFBTNS");
  DrawKey(p, layout.rect, pressed, shifted ? QColor(0x4e, 0x58, 0x6a) : QColor(0x5a, 0x5e, 0x66));
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  DrawLabel(p, face, QString("F%1").arg(FNumber(layout)), 4.2, inForce ? kSymbol : kSymbolDim, Qt::AlignCenter,
            inForce);
}

// Bank carries a lamp that shows its layer; Shift has none.
void DrawLayerButton(QPainter& p, const ControlLayout& layout, bool pressed, bool lit) {
  DrawKey(p, layout.rect, pressed, QColor(0x7a, 0x6a, 0x48));
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  if (!HasLamp(layout)) {
    DrawLabel(p, face, layout.caption, 3.2, kSymbol, Qt::AlignCenter, true);
    return;
  }
  DrawLamp(p, QRectF(face.left() + 3, face.top() + 1.8, face.width() - 6, 2.4), QColor(0xff, 0xc8, 0x30), lit);
  DrawLabel(p, QRectF(face.left(), face.top() + 4.6, face.width(), face.height() - 5), layout.caption, 3.0, kSymbol,
            Qt::AlignCenter, true);
}

QPolygonF Triangle(QPointF tip, double size, double direction) {
  // direction: +1 points right, -1 points left
  return QPolygonF({tip, tip + QPointF(-direction * size, -size * 0.75), tip + QPointF(-direction * size, size * 0.75)});
}

void DrawTransport(QPainter& p, const ControlLayout& layout, bool pressed, bool lit) {
  DrawKey(p, layout.rect, pressed, QColor(0x4c, 0x50, 0x57), 2);
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  const QPointF c = face.center();
  p.setPen(Qt::NoPen);
  p.setBrush(kSymbol);
  if (Is(layout, "PLAY")) {
    p.setBrush(QColor(0x6c, 0xe0, 0x7c));
    p.drawPolygon(Triangle(c + QPointF(3.2, 0), 6, 1));
  } else if (Is(layout, "STOP")) {
    p.drawRect(QRectF(c - QPointF(3, 3), QSizeF(6, 6)));
  } else if (Is(layout, "FFWD")) {
    p.drawPolygon(Triangle(c + QPointF(0.2, 0), 4.5, 1));
    p.drawPolygon(Triangle(c + QPointF(4.7, 0), 4.5, 1));
  } else if (Is(layout, "RWND")) {
    p.drawPolygon(Triangle(c + QPointF(-0.2, 0), 4.5, -1));
    p.drawPolygon(Triangle(c + QPointF(-4.7, 0), 4.5, -1));
  } else {  // REC: the symbol is the lamp
    const QColor red(0xff, 0x30, 0x30);
    if (lit) {
      QRadialGradient glow(c, 7);
      glow.setColorAt(0, QColor(255, 60, 60, 150));
      glow.setColorAt(1, QColor(255, 60, 60, 0));
      p.setBrush(glow);
      p.drawEllipse(c, 7, 7);
    }
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 0.3));
    p.setBrush(lit ? red.lighter(115) : red.darker(300));
    p.drawEllipse(c, 3.6, 3.6);
  }
}

void DrawCursor(QPainter& p, const ControlLayout& layout, bool pressed) {
  DrawKey(p, layout.rect, pressed, QColor(0x50, 0x54, 0x5b), 1.2);
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  const QPointF c = face.center();
  const double s = 3;
  QPolygonF arrow;
  if (Is(layout, "CRSRUP")) arrow = {c + QPointF(0, -s), c + QPointF(-s, s * 0.7), c + QPointF(s, s * 0.7)};
  else if (Is(layout, "CRSRDN")) arrow = {c + QPointF(0, s), c + QPointF(-s, -s * 0.7), c + QPointF(s, -s * 0.7)};
  else if (Is(layout, "CRSRLT")) arrow = {c + QPointF(-s, 0), c + QPointF(s * 0.7, -s), c + QPointF(s * 0.7, s)};
  else arrow = {c + QPointF(s, 0), c + QPointF(-s * 0.7, -s), c + QPointF(-s * 0.7, s)};
  p.setPen(Qt::NoPen);
  p.setBrush(kSymbol);
  p.drawPolygon(arrow);
}

void DrawWheelButton(QPainter& p, const ControlLayout& layout, bool pressed) {
  DrawKey(p, layout.rect, pressed, QColor(0x4c, 0x50, 0x57));
  const QRectF face = pressed ? layout.rect.translated(0.4, 0.5) : layout.rect;
  DrawLabel(p, face, layout.caption, 3.2, kSymbol, Qt::AlignCenter, true);
}

// The fader's travel runs down the slot; without a level the cap sits about half way up.
void DrawFader(QPainter& p, const ControlLayout& layout, bool pressed, std::optional<int> level) {
  const QRectF r = layout.rect;
  const double midX = r.center().x();
  p.setPen(QPen(QColor(0x6a, 0x6e, 0x75), 0.25));
  for (int tick = 0; tick <= 8; ++tick) {
    const double y = r.top() + 3 + tick * (r.height() - 6) / 8;
    const double half = tick % 4 == 0 ? 5.5 : 4;
    p.drawLine(QPointF(midX - half, y), QPointF(midX - 2, y));
    p.drawLine(QPointF(midX + 2, y), QPointF(midX + half, y));
  }
  p.setPen(QPen(QColor(0x05, 0x05, 0x06), 0.3));
  p.setBrush(QColor(0x0b, 0x0b, 0x0c));
  p.drawRoundedRect(QRectF(midX - 1, r.top() + 1.5, 2, r.height() - 3), 1, 1);

  const bool master = Is(layout, "FADER16");
  QRectF cap = level ? FaderCapRect(layout, *level) : QRectF(r.left(), r.top() + r.height() * 0.4, r.width(), 10);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 120));
  p.drawRoundedRect(cap.translated(0.5, 1), 1.2, 1.2);
  if (pressed) cap.translate(0, 0.5);
  QLinearGradient g(cap.topLeft(), cap.bottomLeft());
  const QColor face = master ? QColor(0xb0, 0x3a, 0x32) : QColor(0xc8, 0xcb, 0xd0);
  g.setColorAt(0, pressed ? face.darker(150) : face.lighter(110));
  g.setColorAt(0.5, pressed ? face.darker(190) : face.darker(130));
  g.setColorAt(1, pressed ? face.darker(160) : face);
  p.setBrush(g);
  p.setPen(pressed ? QPen(kOutlinePressed, 0.7) : QPen(QColor(0x14, 0x15, 0x17), 0.4));
  p.drawRoundedRect(cap, 1.2, 1.2);
  p.setPen(QPen(master ? QColor(0xff, 0xe0, 0xd8) : QColor(0x20, 0x20, 0x22), 0.5));
  p.drawLine(QPointF(cap.left() + 1, cap.center().y()), QPointF(cap.right() - 1, cap.center().y()));

  const int channel = layout.id - 1223;
  DrawLabel(p, QRectF(r.left() - 4, r.bottom() + 0.3, r.width() + 8, 5.5), QString::number(channel), 4, kLabel);
}

// The whole round control that a left half and its right partner make up.
QRectF WholeOf(const ControlLayout& layout, ControlId partner) {
  const ControlLayout* other = LayoutOf(partner);
  return other ? layout.rect.united(other->rect) : layout.rect;
}

void DrawHalfPressed(QPainter& p, const ControlLayout& layout, const QRectF& whole) {
  p.save();
  p.setClipRect(layout.rect);
  p.setPen(QPen(kOutlinePressed, 0.8));
  p.setBrush(QColor(0, 0, 0, 110));
  p.drawEllipse(whole.adjusted(0.4, 0.4, -0.4, -0.4));
  p.setPen(QPen(kOutlinePressed, 0.5, Qt::DashLine));
  const double x = Is(layout, "KNOBLT") || Is(layout, "WHEELLT") ? layout.rect.right() : layout.rect.left();
  p.drawLine(QPointF(x, whole.top() + 1), QPointF(x, whole.bottom() - 1));
  p.restore();
}

void DrawPot(QPainter& p, const ControlLayout& layout, bool pressed) {
  const bool left = Is(layout, "KNOBLT");
  const QRectF whole = WholeOf(layout, left ? layout.id + 6 : layout.id - 6);
  if (left) {
    const QPointF c = whole.center();
    const double radius = whole.height() / 2;
    // Scale ring, then the knob body and its pointer.
    p.setPen(QPen(QColor(0x7a, 0x7e, 0x86), 0.4));
    for (int step = 0; step <= 10; ++step) {
      QLineF tick = QLineF::fromPolar(radius - 0.5, 225 - step * 27).translated(c);
      QLineF inner = QLineF::fromPolar(radius - 2.5, 225 - step * 27).translated(c);
      p.drawLine(inner.p2(), tick.p2());
    }
    QRadialGradient g(c - QPointF(2.5, 3), radius);
    g.setColorAt(0, QColor(0x6c, 0x70, 0x78));
    g.setColorAt(0.7, QColor(0x30, 0x32, 0x36));
    g.setColorAt(1, QColor(0x1a, 0x1b, 0x1d));
    p.setPen(QPen(QColor(0x0c, 0x0c, 0x0d), 0.5));
    p.setBrush(g);
    p.drawEllipse(c, radius - 3.5, radius - 3.5);
    p.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(0, -3), c + QPointF(0, -(radius - 5)));
    const int pot = (layout.id - 1256 + 3) % 6 + 1;
    DrawLabel(p, QRectF(whole.left(), whole.bottom() + 0.5, whole.width(), 6), QString("P%1").arg(pot), 4.2, kLabel,
              Qt::AlignCenter, true);
    DrawLabel(p, QRectF(whole.left() - 3, whole.bottom() - 7, 7, 6), QString::fromUtf8("\u2212"), 4.5, kLabel);
    DrawLabel(p, QRectF(whole.right() - 4, whole.bottom() - 7, 7, 6), "+", 4.5, kLabel);
  }
  if (pressed) DrawHalfPressed(p, layout, whole);
}

void DrawWheel(QPainter& p, const ControlLayout& layout, bool pressed, bool lit) {
  const bool left = Is(layout, "WHEELLT");
  const QRectF whole = WholeOf(layout, left ? layout.id + 1 : layout.id - 1);
  // Each half's lamp sits in its outer top corner, clear of the round wheel.
  const QRectF& r = layout.rect;
  DrawLamp(p, QRectF(left ? r.left() + 1.5 : r.right() - 5.5, r.top() + 2, 4, 2.6), QColor(0x5c, 0xf0, 0x80), lit);
  if (left) {
    const QPointF c = whole.center();
    const double radius = whole.width() / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 120));
    p.drawEllipse(c + QPointF(0.8, 1.2), radius, radius);
    QRadialGradient g(c - QPointF(8, 10), radius * 1.6);
    g.setColorAt(0, QColor(0x5a, 0x5e, 0x65));
    g.setColorAt(1, QColor(0x16, 0x17, 0x19));
    p.setPen(QPen(QColor(0x0a, 0x0a, 0x0b), 0.6));
    p.setBrush(g);
    p.drawEllipse(c, radius - 0.5, radius - 0.5);
    // Grip ridges round the rim.
    p.setPen(QPen(QColor(0x0e, 0x0e, 0x10), 0.5));
    for (int step = 0; step < 48; ++step) {
      QLineF outer = QLineF::fromPolar(radius - 1, step * 7.5).translated(c);
      QLineF inner = QLineF::fromPolar(radius - 4.5, step * 7.5).translated(c);
      p.drawLine(inner.p2(), outer.p2());
    }
    p.setPen(QPen(QColor(0x12, 0x12, 0x14), 0.5));
    p.setBrush(QColor(0x2a, 0x2c, 0x30));
    p.drawEllipse(c, radius - 5, radius - 5);
    // The finger dimple.
    QRadialGradient dimple(c + QPointF(10, -12), 5);
    dimple.setColorAt(0, QColor(0x10, 0x10, 0x12));
    dimple.setColorAt(1, QColor(0x3c, 0x3e, 0x43));
    p.setBrush(dimple);
    p.drawEllipse(c + QPointF(10, -12), 4.5, 4.5);
    p.setPen(QPen(QColor(255, 255, 255, 40), 0.4, Qt::DashLine));
    p.drawLine(QPointF(c.x(), whole.top() + 6), QPointF(c.x(), whole.bottom() - 6));
    DrawLabel(p, QRectF(c.x() - 14, c.y() + 2, 12, 6), QString::fromUtf8("\u21ba"), 6, kLabel);
    DrawLabel(p, QRectF(c.x() + 2, c.y() + 2, 12, 6), QString::fromUtf8("\u21bb"), 6, kLabel);
  }
  if (pressed) DrawHalfPressed(p, layout, whole);
}

void DrawFootswitch(QPainter& p, const ControlLayout& layout, bool pressed) {
  const QRectF r = layout.rect;
  // Base plate, then the pedal, hinged at the heel; pressed, it tips down.
  p.setPen(QPen(QColor(0x0a, 0x0a, 0x0b), 0.5));
  p.setBrush(QColor(0x1c, 0x1d, 0x20));
  p.drawRoundedRect(r.adjusted(0, 0, 0, 0), 3, 3);
  const double tip = pressed ? 4 : 2;
  QPainterPath pedal;
  pedal.moveTo(r.left() + 5, r.top() + tip);
  pedal.lineTo(r.right() - 5, r.top() + tip);
  pedal.lineTo(r.right() - 2.5, r.bottom() - 7);
  pedal.lineTo(r.left() + 2.5, r.bottom() - 7);
  pedal.closeSubpath();
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  const QColor face = pressed ? QColor(0x3a, 0x3c, 0x41) : QColor(0x5c, 0x60, 0x68);
  g.setColorAt(0, face.lighter(115));
  g.setColorAt(1, face.darker(130));
  p.setBrush(g);
  p.setPen(pressed ? QPen(kOutlinePressed, 0.7) : QPen(QColor(0x10, 0x10, 0x12), 0.5));
  p.drawPath(pedal);
  p.setPen(QPen(QColor(0x22, 0x23, 0x26), 0.8));
  for (int ridge = 0; ridge < 6; ++ridge) {
    const double y = r.top() + tip + 5 + ridge * 5.5;
    p.drawLine(QPointF(r.left() + 7, y), QPointF(r.right() - 7, y));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x44, 0x46, 0x4b));
  p.drawRoundedRect(QRectF(r.left() + 3, r.bottom() - 6, r.width() - 6, 4), 1, 1);
  DrawLabel(p, QRectF(r.left() - 10, r.bottom() + 1, r.width() + 20, 6), "FOOTSWITCH", 3.6, kLabel);
}

// Pan, Solo and Mute are Bank's layer 1; Select, Locate and Arm its layer 0.
void DrawRowLabels(QPainter& p, int bankLayer) {
  struct Row {
    const char* text;
    double lowerY, upperY;
    int layer;
  };
  for (const Row& row : {Row{"PAN", 246, 55, 1}, Row{"SOLO", 268, 77, 1}, Row{"MUTE", 290, 98, 1},
                         Row{"SELECT", 312, 119, 0}, Row{"LOCATE", 334, 141, 0}, Row{"ARM", 356, 163, 0}}) {
    const QColor colour = bankLayer < 0 || bankLayer == row.layer ? kLabel : kLabelDim;
    DrawLabel(p, QRectF(329, row.lowerY, 36, 12), row.text, 4, colour, Qt::AlignLeft | Qt::AlignVCenter, true);
    DrawLabel(p, QRectF(329, row.upperY, 36, 12), row.text, 4, colour, Qt::AlignLeft | Qt::AlignVCenter, true);
  }
}

}  // namespace

void PaintSurfacePanels(QPainter& p, int bankLayer, int shiftLayer) {
  DrawPanel(p, kLeftPanelRect, QColor(0x30, 0x32, 0x37), QColor(0x1d, 0x1e, 0x21));
  // Alternate channel strips are shaded a little, and a rule parts the two banks of 16.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 8));
  for (int column = 0; column < 16; column += 2) p.drawRect(QRectF(2 + 20 * column, 52, 20, 443 - 52));
  p.setPen(QPen(QColor(0x0e, 0x0e, 0x10), 0.8));
  p.drawLine(QPointF(3, 242.3), QPointF(366, 242.3));
  p.setPen(QPen(QColor(255, 255, 255, 30), 0.4));
  p.drawLine(QPointF(3, 243.1), QPointF(366, 243.1));
  DrawRowLabels(p, bankLayer);
  DrawLabel(p, QRectF(10, 12, 74, 10), "ORVO", 7, QColor(0xd8, 0xdb, 0xe0), Qt::AlignLeft | Qt::AlignVCenter, true);
  DrawLabel(p, QRectF(10, 22, 74, 8), "TABLAN", 4.5, kLabel, Qt::AlignLeft | Qt::AlignVCenter, true);

  DrawPanel(p, kRightPanelRect, QColor(0x2c, 0x2e, 0x33), QColor(0x1a, 0x1b, 0x1e));
  DrawLabel(p, QRectF(470, 199, 48, 12), "F KEYS", 3.8, shiftLayer == 1 ? kLabelDim : kLabel,
            Qt::AlignRight | Qt::AlignVCenter, true);
  DrawLabel(p, QRectF(470, 235, 48, 12), "SHIFT + F", 3.8, shiftLayer == 0 ? kLabelDim : kLabel,
            Qt::AlignRight | Qt::AlignVCenter, true);
  p.setPen(QPen(QColor(255, 255, 255, 24), 0.5));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(512, 266, 42, 40), 3, 3);  // the cursor cross
}

void PaintSurfaceControl(QPainter& p, const ControlLayout& layout, bool pressed, bool lit,
                         std::optional<int> faderLevel, bool inForce) {
  switch (layout.family) {
    case SurfaceFamily::ChannelButton: DrawChannelButton(p, layout, pressed, lit, inForce); break;
    case SurfaceFamily::FButton: DrawFButton(p, layout, pressed, inForce); break;
    case SurfaceFamily::Transport: DrawTransport(p, layout, pressed, lit); break;
    case SurfaceFamily::Cursor: DrawCursor(p, layout, pressed); break;
    case SurfaceFamily::WheelButton: DrawWheelButton(p, layout, pressed); break;
    case SurfaceFamily::Fader: DrawFader(p, layout, pressed, faderLevel); break;
    case SurfaceFamily::PotHalf: DrawPot(p, layout, pressed); break;
    case SurfaceFamily::WheelHalf: DrawWheel(p, layout, pressed, lit); break;
    case SurfaceFamily::Footswitch: DrawFootswitch(p, layout, pressed); break;
    case SurfaceFamily::LayerButton: DrawLayerButton(p, layout, pressed, lit); break;
  }
}

}  // namespace orvo
