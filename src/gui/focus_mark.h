// A ring around whichever of a few controls has the keyboard focus, for
// controls whose look shows no focus of their own (the image buttons, a
// list without rows) or only a faint one.
#pragma once

#include <QPointer>
#include <QWidget>
#include <initializer_list>
#include <vector>

namespace tamarind::gui {

class FocusMark : public QWidget {
  Q_OBJECT

 public:
  // |parent| is the controls' common parent; the ring is drawn over it.
  explicit FocusMark(QWidget* parent);

  void Track(std::initializer_list<QWidget*> controls);
  // The control the ring is around now (null when none of them has the
  // focus).
  QWidget* Target() const { return target_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Follow(QWidget* focused);
  void Place();

  std::vector<QWidget*> controls_;
  QPointer<QWidget> target_;
};

}  // namespace tamarind::gui
