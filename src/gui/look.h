// Colours of the window and conversions between the program's byte
// strings and the texts the controls show.
#pragma once

#include <QColor>
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace tamarind::gui {

// The two backgrounds of the window: around the tabs, and the tabs' pages.
enum class Surface { Main, Page };

// The program's colours for |surface|, made from the desktop theme's
// (ThemedColours): a touch of mint in the background, of blue in the
// texts, readable on a light and a dark theme alike.
void ApplyColours(QWidget* widget, Surface surface);
// Gives a child back the desktop's own colours (lists, progress bars).
void UseSystemColours(QWidget* widget);

// File names stay bytes in the program; controls show them as UTF-8.
QString ToDisplay(std::string_view text);
std::string FromControl(const QString& text);

}  // namespace tamarind::gui
