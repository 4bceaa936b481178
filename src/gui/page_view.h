// The viewer's page: one picture in a scrolling area, centred while it is
// smaller than the area. It only draws what it is given; Ctrl and the wheel
// ask for a zoom step, which the viewer decides.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QString>

namespace tamarind::gui {

class PageView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit PageView(QWidget* parent = nullptr);

  // Shows |picture| drawn |shown| logical pixels large (larger than the
  // picture when zoomed past 1:1: pixels are then repeated, not smoothed).
  void ShowPicture(const QImage& picture, QSize shown);
  // Keeps the size of what will come and says |note| until it does.
  void ShowNote(const QString& note, QSize shown = {});
  const QImage& Picture() const { return picture_; }
  const QString& Note() const { return note_; }
  // The viewport's size in device pixels: what a fit fills.
  QSize DeviceViewport() const;
  // Where the picture's top left corner is drawn in the viewport.
  QPoint PictureOrigin() const;

 signals:
  // +1 a step larger, -1 a step smaller.
  void ZoomStep(int steps);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();

  QImage picture_;
  QSize shown_;
  QString note_;
  int wheelAngle_ = 0;  // what is left of a partly turned wheel
};

}  // namespace tamarind::gui
