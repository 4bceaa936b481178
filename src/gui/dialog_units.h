// Places controls by rectangles given in dialog units:
// a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height, so the layout keeps its
// proportions with whatever font the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace tamarind::gui {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;
  int X(int units) const { return units * charWidth_ / 4; }
  int Y(int units) const { return units * charHeight_ / 8; }
  // |pixels| in units, rounded up: what Size() takes to give at least
  // that many pixels.
  QSize UnitsOf(QSize pixels) const {
    return QSize((pixels.width() * 4 + charWidth_ - 1) / charWidth_,
                 (pixels.height() * 8 + charHeight_ - 1) / charHeight_);
  }

  // Moves |widget| to the rectangle and gives it the object name "id<n>"
  // when |id| is not 0.
  void Place(QWidget* widget, int id, int x, int y, int width, int height) const;

 private:
  int charWidth_;
  int charHeight_;
};

// The name Place() gives to the control with |id|, for findChild().
QString ControlName(int id);

}  // namespace tamarind::gui
