#include "gui/hyper_link.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace tamarind::gui {

HyperLink::HyperLink(const QString& text, QWidget* parent)
    : QLabel(text, parent), opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  UpdateColour();
}

void HyperLink::SetTarget(const QString& target) {
  target_ = target;
  setToolTip(target);
  if (text().isEmpty()) setText(target);
}

void HyperLink::Navigate() {
  if (target_.isEmpty() || !opener_(QUrl(target_))) return;
  visited_ = true;
  UpdateColour();
}

void HyperLink::UpdateColour() {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, CurrentColour());
  setPalette(palette);
  update();
}

void HyperLink::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
  bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click) Navigate();
  QLabel::mouseReleaseEvent(event);
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Navigate(); return;
    default: QLabel::keyPressEvent(event);
  }
}

void HyperLink::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

}  // namespace tamarind::gui
