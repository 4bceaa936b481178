#include "gui/focus_mark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <algorithm>

#include "gui/look.h"

namespace tamarind::gui {

namespace {

constexpr int kRingWidth = 2;
constexpr int kRingGap = 1;  // between the control and the ring
constexpr int kOutset = kRingWidth + kRingGap;

}  // namespace

FocusMark::FocusMark(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  hide();
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { Follow(now); });
}

void FocusMark::Track(std::initializer_list<QWidget*> controls) {
  for (QWidget* control : controls) {
    controls_.push_back(control);
    control->installEventFilter(this);
  }
}

void FocusMark::Follow(QWidget* focused) {
  auto found = std::find(controls_.begin(), controls_.end(), focused);
  target_ = found == controls_.end() ? nullptr : *found;
  Place();
}

void FocusMark::Place() {
  if (!target_ || !target_->isVisible()) {
    hide();
    return;
  }
  const QRect outer = target_->geometry().adjusted(-kOutset, -kOutset, kOutset, kOutset);
  setGeometry(outer);
  // Only the ring is ours; the control shows through the middle.
  const QRect inner = rect().adjusted(kRingWidth, kRingWidth, -kRingWidth, -kRingWidth);
  setMask(QRegion(rect()).subtracted(QRegion(inner)));
  raise();
  show();
  update();
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
  if (watched == target_) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide: Place(); break;
      default: break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FocusMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Highlight));
}

}  // namespace tamarind::gui
