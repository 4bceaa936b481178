#include "gui/artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace tamarind::gui {

namespace {

QPixmap Blank(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// Drawn on a 32-unit grid and scaled to |size|.
QPixmap IconImage(int size) {
  QPixmap pixmap = Blank(size);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  QPainterPath sheet;
  sheet.moveTo(5, 2);
  sheet.lineTo(20, 2);
  sheet.lineTo(27, 9);
  sheet.lineTo(27, 30);
  sheet.lineTo(5, 30);
  sheet.closeSubpath();
  painter.setPen(QPen(QColor(40, 40, 40), 1.5));
  painter.setBrush(Qt::white);
  painter.drawPath(sheet);
  painter.setBrush(QColor(200, 200, 200));
  painter.drawPolygon(QPolygonF({QPointF(20, 2), QPointF(20, 9), QPointF(27, 9)}));
  painter.setPen(QPen(Qt::black, 2));
  for (int y = 8; y <= 16; y += 4) painter.drawLine(QPointF(8, y), QPointF(y == 8 ? 17 : 24, y));
  // The lower half is a small landscape: the page as a picture.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(70, 160, 110));
  painter.drawRect(QRectF(8, 19, 16, 9));
  painter.setBrush(QColor(255, 200, 40));
  painter.drawEllipse(QPointF(20, 22), 2, 2);
  painter.setBrush(QColor(20, 90, 60));
  painter.drawPolygon(QPolygonF({QPointF(8, 28), QPointF(13, 21), QPointF(18, 28)}));
  return pixmap;
}

QPixmap ConvertTabImage() {
  QPixmap pixmap = Blank(16);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 140, 70));
  painter.drawPolygon(QPolygonF(
      {QPointF(1, 6), QPointF(8, 6), QPointF(8, 2), QPointF(15, 8), QPointF(8, 14), QPointF(8, 10), QPointF(1, 10)}));
  return pixmap;
}

QPixmap OptionsTabImage() {
  QPixmap pixmap = Blank(16);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 1.5));
  for (int row = 0; row < 3; ++row) painter.drawLine(QPointF(2, 3.5 + row * 4.5), QPointF(14, 3.5 + row * 4.5));
  painter.setPen(QPen(QColor(0, 0, 160), 1));
  painter.setBrush(QColor(120, 160, 255));
  const double knobs[] = {10, 5, 8};
  for (int row = 0; row < 3; ++row) painter.drawEllipse(QPointF(knobs[row], 3.5 + row * 4.5), 2, 2);
  return pixmap;
}

QPixmap FolderImage(QColor body, QColor edge, int shift) {
  QPixmap pixmap = Blank(16);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(shift, shift);
  painter.setPen(QPen(edge, 1));
  painter.setBrush(body.darker(115));
  painter.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
  painter.setBrush(body);
  painter.drawRoundedRect(QRectF(1.5, 5.5, 12, 8), 1, 1);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(IconImage(size));
  return icon;
}

QPixmap TabImage(int index) { return index == 0 ? ConvertTabImage() : OptionsTabImage(); }

std::array<QPixmap, 4> BrowseImages() {
  return {FolderImage(QColor(250, 210, 90), QColor(150, 110, 20), 0),
          FolderImage(QColor(255, 230, 140), QColor(0, 0, 255), 0),
          FolderImage(QColor(215, 215, 215), QColor(150, 150, 150), 0),
          FolderImage(QColor(230, 185, 60), QColor(120, 80, 10), 1)};
}

}  // namespace tamarind::gui
