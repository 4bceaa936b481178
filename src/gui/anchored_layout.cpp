#include "gui/anchored_layout.h"

#include <QWidget>
#include <QtMath>

namespace tamarind::gui {

QRect Anchored(const QRect& base, unsigned anchors, QSize extra, QSize parentBase) {
  extra = extra.expandedTo(QSize(0, 0));
  QRect placed = base;
  if (parentBase.width() > 0 && parentBase.height() > 0) {
    const double across = 1.0 + static_cast<double>(extra.width()) / parentBase.width();
    const double along = 1.0 + static_cast<double>(extra.height()) / parentBase.height();
    if (anchors & kSpreadAcross)
      placed.setRect(qRound(base.x() * across), placed.y(), qRound(base.width() * across), placed.height());
    if (anchors & kSpreadAlong) placed.moveTop(qRound(base.y() * along));
    if (anchors & kSpreadDown) placed.setHeight(qRound(base.height() * along));
  }
  if (anchors & kFollowRight) placed.translate(extra.width(), 0);
  if (anchors & kFollowBottom) placed.translate(0, extra.height());
  if (anchors & kStretchRight) placed.setWidth(base.width() + extra.width());
  if (anchors & kStretchDown) placed.setHeight(base.height() + extra.height());
  return placed;
}

void AnchoredLayout::Add(QWidget* control, unsigned anchors) {
  entries_.push_back({control, control->geometry(), anchors});
}

void AnchoredLayout::Apply(QSize extra) const {
  for (const Entry& entry : entries_) entry.control->setGeometry(Anchored(entry.base, entry.anchors, extra, baseSize_));
}

}  // namespace tamarind::gui
