#include "gui/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

namespace tamarind::gui {

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics metrics(font);
  // The average the platform uses for dialog units: the width of the
  // alphabet in both cases over 52, rounded.
  int alphabet = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  charWidth_ = std::max(1, (alphabet / 26 + 1) / 2);
  charHeight_ = std::max(1, metrics.height());
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

void DialogUnits::Place(QWidget* widget, int id, int x, int y, int width, int height) const {
  widget->setGeometry(Rect(x, y, width, height));
  if (id != 0) widget->setObjectName(ControlName(id));
}

QString ControlName(int id) { return QStringLiteral("id%1").arg(id); }

}  // namespace tamarind::gui
