#include "gui/anchored_layout.h"

#include <QWidget>

namespace tamarind::gui {

QRect Anchored(const QRect& base, unsigned anchors, QSize extra) {
  extra = extra.expandedTo(QSize(0, 0));
  QRect placed = base;
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
  for (const Entry& entry : entries_) entry.control->setGeometry(Anchored(entry.base, entry.anchors, extra));
}

}  // namespace tamarind::gui
