// A flat push button drawn from four images: normal, under the mouse,
// disabled and pushed. It clicks like any push button (mouse or space key).
#pragma once

#include <QAbstractButton>
#include <array>

namespace tamarind::gui {

class BitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  // |images| in the order of artwork.h's BrowseImage.
  BitmapButton(const std::array<QPixmap, 4>& images, QWidget* parent = nullptr);

  // The image the button shows in its present state.
  int CurrentImage() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  std::array<QPixmap, 4> images_;
  bool hovered_ = false;
};

}  // namespace tamarind::gui
