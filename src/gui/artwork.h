// The program's icon and small images, drawn at start-up so that the
// build needs no image files.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <array>

namespace tamarind::gui {

// A fax sheet with a folded corner turning into a photo.
QIcon AppIcon();

// 16-pixel tab images: 0 "Convert", 1 "Options".
QPixmap TabImage(int index);

// The browse buttons' images, in the order of their image list: normal,
// hover, disabled, pushed.
enum BrowseImage { kBrowseNormal = 0, kBrowseHover = 1, kBrowseDisabled = 2, kBrowsePushed = 3 };
std::array<QPixmap, 4> BrowseImages();

}  // namespace tamarind::gui
