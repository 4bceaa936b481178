#include "gui/bitmap_button.h"

#include <QEnterEvent>
#include <QPainter>

#include "gui/artwork.h"

namespace tamarind::gui {

BitmapButton::BitmapButton(const std::array<QPixmap, 4>& images, QWidget* parent)
    : QAbstractButton(parent), images_(images) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
}

int BitmapButton::CurrentImage() const {
  if (!isEnabled()) return kBrowseDisabled;
  if (isDown()) return kBrowsePushed;
  if (hovered_) return kBrowseHover;
  return kBrowseNormal;
}

QSize BitmapButton::sizeHint() const { return images_[kBrowseNormal].size(); }

void BitmapButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPixmap& image = images_[static_cast<size_t>(CurrentImage())];
  QPoint corner((width() - image.width()) / 2, (height() - image.height()) / 2);
  painter.drawPixmap(corner, image);
}

void BitmapButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void BitmapButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace tamarind::gui
