// Keeps the controls of a page laid out in dialog units where they belong
// while the window grows: each control keeps its distance to the edges it
// is anchored to and stretches between two opposite ones. Controls
// anchored to nothing but the top and left edges do not move, so a grown
// window keeps the places and proportions of the layout it was drawn with.
#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace tamarind::gui {

enum Anchor : unsigned {
  kAnchorTopLeft = 0,
  kStretchRight = 1 << 0,  // the right edge follows the parent's
  kStretchDown = 1 << 1,   // the bottom edge follows the parent's
  kFollowRight = 1 << 2,   // the whole control moves with the right edge
  kFollowBottom = 1 << 3,  // the whole control moves with the bottom edge
  // Places and sizes in proportion to the parent's size: a grown page
  // spreads its controls over the room instead of keeping them in its top
  // left corner. Heights stay unless kSpreadDown is given.
  kSpreadAcross = 1 << 4,  // left edge and width in proportion
  kSpreadAlong = 1 << 5,   // top edge in proportion
  kSpreadDown = 1 << 6,    // height in proportion
};

// |base| moved and stretched for a parent |extra| larger than its base
// size.
QRect Anchored(const QRect& base, unsigned anchors, QSize extra, QSize parentBase = QSize());

class AnchoredLayout {
 public:
  // The parent's size at which the controls have their recorded places;
  // needed by the kSpread anchors.
  void SetBaseSize(QSize size) { baseSize_ = size; }
  // Records the control's present geometry as its place at the base size.
  void Add(QWidget* control, unsigned anchors);
  // Places every control for a parent |extra| larger than its base size
  // (negative parts count as 0: the base size is the smallest).
  void Apply(QSize extra) const;

 private:
  struct Entry {
    QWidget* control;
    QRect base;
    unsigned anchors;
  };
  std::vector<Entry> entries_;
  QSize baseSize_;
};

}  // namespace tamarind::gui
