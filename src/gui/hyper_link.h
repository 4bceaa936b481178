// A static text that works as a link: underlined, blue (purple once
// visited), a hand cursor, the target as its tooltip; a click or the Enter
// or space key opens the target with the desktop's handler.
#pragma once

#include <QColor>
#include <QLabel>
#include <QUrl>
#include <functional>

namespace tamarind::gui {

class HyperLink : public QLabel {
  Q_OBJECT

 public:
  explicit HyperLink(const QString& text, QWidget* parent = nullptr);

  // The address opened; a link without text shows its target.
  void SetTarget(const QString& target);
  const QString& Target() const { return target_; }
  bool Visited() const { return visited_; }
  QColor CurrentColour() const { return visited_ ? visitedColour_ : linkColour_; }

  // Opens the target; marks the link visited when that worked.
  void Navigate();
  // Replaces the desktop's handler (tests).
  void SetOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void UpdateColour();

  QString target_;
  QColor linkColour_{0, 0, 255};
  QColor visitedColour_{128, 0, 128};
  bool visited_ = false;
  bool pressed_ = false;
  std::function<bool(const QUrl&)> opener_;
};

}  // namespace tamarind::gui
