#include "gui/look.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace tamarind::gui {

void ApplyColours(QWidget* widget, const QColor& background, const QColor& editBackground) {
  QPalette palette = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, background);
    palette.setColor(group, QPalette::WindowText, kTextBlue);
    palette.setColor(group, QPalette::ButtonText, kTextBlue);
    palette.setColor(group, QPalette::Text, kTextBlue);
    palette.setColor(group, QPalette::Base, editBackground);
  }
  palette.setColor(QPalette::Disabled, QPalette::Window, background);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void UseSystemColours(QWidget* widget) {
  // Every role marked as set, or the parent's blue would still come through.
  QPalette palette = QApplication::palette(widget);
  palette.setResolveMask(~QPalette::ResolveMask(0));
  widget->setPalette(palette);
}

QString ToDisplay(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromControl(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace tamarind::gui
