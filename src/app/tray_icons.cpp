#include "app/tray_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace orvo {

QPixmap DrawTrayPixmap(bool connected, int size, bool midiTrouble) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);

  // The surface: a dark panel seen from above.
  const QColor body = connected ? QColor(0x2B, 0x31, 0x3A) : QColor(0x6E, 0x6E, 0x6E);
  const QColor slot = connected ? QColor(0x12, 0x15, 0x1A) : QColor(0x4A, 0x4A, 0x4A);
  const QColor cap = connected ? QColor(0xE8, 0xEC, 0xF0) : QColor(0xB8, 0xB8, 0xB8);
  p.setPen(QPen(connected ? QColor(0x0E, 0x11, 0x15) : QColor(0x50, 0x50, 0x50), 2));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(4, 10, 56, 44), 7, 7);

  // Four faders at different heights.
  const double caps[] = {36, 26, 40, 30};
  for (int i = 0; i < 4; ++i) {
    const double x = 13 + i * 10;
    p.setPen(Qt::NoPen);
    p.setBrush(slot);
    p.drawRoundedRect(QRectF(x - 1.5, 18, 3, 30), 1.5, 1.5);
    p.setBrush(cap);
    p.drawRoundedRect(QRectF(x - 4, caps[i] - 3, 8, 6), 1.5, 1.5);
  }

  // The lamp: green and glowing when connected, dark when not.
  const QPointF lamp(52, 18);
  if (connected) {
    QRadialGradient glow(lamp, 7);
    glow.setColorAt(0, QColor(0x7C, 0xFF, 0x8A, 220));
    glow.setColorAt(1, QColor(0x7C, 0xFF, 0x8A, 0));
    p.setBrush(glow);
    p.drawEllipse(lamp, 7, 7);
    p.setBrush(QColor(0x3C, 0xE0, 0x5A));
  } else {
    p.setBrush(QColor(0x3A, 0x3A, 0x3A));
  }
  p.drawEllipse(lamp, 3.5, 3.5);

  if (!connected) {  // struck through in red: no surface
    p.setPen(QPen(QColor(0xE0, 0x30, 0x30), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 56), QPointF(54, 8));
  }
  if (midiTrouble) {  // an amber warning sign over the bottom right corner
    QPainterPath sign;
    sign.moveTo(46, 30);
    sign.lineTo(63, 62);
    sign.lineTo(29, 62);
    sign.closeSubpath();
    p.setPen(QPen(QColor(0x20, 0x18, 0x00), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xFF, 0xB0, 0x20));
    p.drawPath(sign);
    p.setPen(QPen(QColor(0x20, 0x18, 0x00), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(46, 41), QPointF(46, 51));
    p.drawPoint(QPointF(46, 57.5));
  }
  return pixmap;
}

namespace {
QIcon MakeIcon(bool connected, bool midiTrouble = false) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128}) icon.addPixmap(DrawTrayPixmap(connected, size, midiTrouble));
  return icon;
}
}  // namespace

QIcon ConnectedIcon() { return MakeIcon(true); }
QIcon DisconnectedIcon() { return MakeIcon(false); }
QIcon MidiTroubleIcon() { return MakeIcon(true, true); }

}  // namespace orvo
