#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace trevalo {
namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1e, 0x6f, 0x5c));
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

  QPainterPath track;
  track.moveTo(8, 52);
  track.cubicTo(20, 40, 26, 56, 38, 44);
  track.cubicTo(46, 36, 50, 46, 58, 38);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 4, Qt::SolidLine, Qt::RoundCap));
  painter.drawPath(track);

  QPainterPath pin;
  pin.moveTo(32, 44);
  pin.cubicTo(22, 32, 18, 26, 18, 20);
  pin.arcTo(QRectF(18, 6, 28, 28), 180, -180);
  pin.cubicTo(46, 26, 42, 32, 32, 44);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xe8, 0x4a, 0x3c));
  painter.drawPath(pin);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(32, 20), 5.5, 5.5);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128}) {
    icon.addPixmap(DrawIcon(size));
  }
  return icon;
}

}  // namespace trevalo
