#include "gui/page_view.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace tamarind::gui {

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setBackgroundRole(QPalette::Dark);
  viewport()->setAutoFillBackground(true);
}

void PageView::ShowPicture(const QImage& picture, QSize shown) {
  picture_ = picture;
  note_.clear();
  shown_ = shown;
  UpdateScrollBars();
  viewport()->update();
}

void PageView::ShowNote(const QString& note, QSize shown) {
  note_ = note;
  picture_ = QImage();
  if (shown.isValid()) shown_ = shown;
  UpdateScrollBars();
  viewport()->update();
}

QSize PageView::DeviceViewport() const { return viewport()->size() * viewport()->devicePixelRatioF(); }

void PageView::UpdateScrollBars() {
  const QSize area = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, shown_.width() - area.width()));
  verticalScrollBar()->setRange(0, std::max(0, shown_.height() - area.height()));
  horizontalScrollBar()->setPageStep(area.width());
  verticalScrollBar()->setPageStep(area.height());
  horizontalScrollBar()->setSingleStep(std::max(1, area.width() / 20));
  verticalScrollBar()->setSingleStep(std::max(1, area.height() / 20));
}

QPoint PageView::PictureOrigin() const {
  const QSize area = viewport()->size();
  const int x = shown_.width() < area.width() ? (area.width() - shown_.width()) / 2 : -horizontalScrollBar()->value();
  const int y = shown_.height() < area.height() ? (area.height() - shown_.height()) / 2 : -verticalScrollBar()->value();
  return {x, y};
}

void PageView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  if (picture_.isNull()) {
    painter.setPen(palette().color(QPalette::BrightText));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, note_);
    return;
  }
  // Repeated pixels, never smoothed: a fax page is black and white, and
  // 1:1 must show the page's own pixels.
  painter.drawImage(QRect(PictureOrigin(), shown_), picture_);
}

void PageView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
  emit Resized();
}

void PageView::scrollContentsBy(int, int) { viewport()->update(); }

void PageView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  // One step a notch (120 eighths of a degree); fine-grained wheels add up.
  wheelAngle_ += event->angleDelta().y();
  const int steps = wheelAngle_ / 120;
  wheelAngle_ %= 120;
  if (steps != 0) emit ZoomStep(steps);
  event->accept();
}

}  // namespace tamarind::gui
