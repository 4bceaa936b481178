#include "gui/look.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "window/theme_colours.h"

namespace tamarind::gui {

namespace {

Rgb ToRgb(const QColor& colour) { return {colour.red(), colour.green(), colour.blue()}; }
QColor ToColour(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

WindowColours ColoursOf(const QPalette& desktop) {
  return ThemedColours({ToRgb(desktop.color(QPalette::Active, QPalette::Window)),
                        ToRgb(desktop.color(QPalette::Active, QPalette::WindowText)),
                        ToRgb(desktop.color(QPalette::Active, QPalette::Base)),
                        ToRgb(desktop.color(QPalette::Active, QPalette::Text))});
}

}  // namespace

void ApplyColours(QWidget* widget, Surface surface) {
  const WindowColours colours = ColoursOf(QApplication::palette());
  const QColor background = ToColour(surface == Surface::Main ? colours.mainBackground : colours.pageBackground);
  QPalette palette = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, background);
    palette.setColor(group, QPalette::WindowText, ToColour(colours.text));
    palette.setColor(group, QPalette::ButtonText, ToColour(colours.text));
    palette.setColor(group, QPalette::Text, ToColour(colours.editText));
    palette.setColor(group, QPalette::Base, ToColour(colours.editBackground));
  }
  palette.setColor(QPalette::Disabled, QPalette::Window, background);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void UseSystemColours(QWidget* widget) {
  // Every role marked as set, or the parent's colours would still come
  // through.
  QPalette palette = QApplication::palette(widget);
  palette.setResolveMask(~QPalette::ResolveMask(0));
  widget->setPalette(palette);
}

QString ToDisplay(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromControl(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace tamarind::gui
