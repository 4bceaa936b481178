// Colours of the window and conversions between the program's byte
// strings and the texts the controls show.
#pragma once

#include <QColor>
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace tamarind::gui {

inline const QColor kTextBlue(0, 0, 255);
inline const QColor kMainBackground(236, 255, 245);
inline const QColor kMainEditBackground(249, 249, 249);
inline const QColor kPageBackground(196, 255, 225);
inline const QColor kConvertEditBackground(252, 252, 252);
inline const QColor kOptionsEditBackground(255, 255, 255);

// Blue text on |background| for the widget and its children, edits on
// |editBackground|.
void ApplyColours(QWidget* widget, const QColor& background, const QColor& editBackground);
// Gives a child back the desktop's own colours (lists, progress bars).
void UseSystemColours(QWidget* widget);

// File names stay bytes in the program; controls show them as UTF-8.
QString ToDisplay(std::string_view text);
std::string FromControl(const QString& text);

}  // namespace tamarind::gui
