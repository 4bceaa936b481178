// Shows the first page of the fax selected in the results list. The page
// is rendered from the fax itself (app/page_preview.h), so it looks the
// same whatever the outputs are, on a thread of its own so that a large
// page never holds up the window; the pane shows only the latest request.
#pragma once

#include <QFrame>
#include <QImage>
#include <QString>
#include <QThreadPool>
#include <QTimer>

namespace tamarind::gui {

class PreviewPane : public QFrame {
  Q_OBJECT

 public:
  explicit PreviewPane(QWidget* parent = nullptr);
  // Waits for a page being rendered.
  ~PreviewPane() override;

  // Shows the first page of the fax at |path|; "" empties the pane.
  void ShowFax(const QString& path);
  const QString& FaxPath() const { return path_; }
  // The page as shown (null while there is none) and, when there is none,
  // why ("" while rendering or empty).
  const QImage& Picture() const { return picture_; }
  const QString& Note() const { return note_; }

 signals:
  // The picture or the note for the fax asked for last is in place.
  void Shown();
  // A double-click: the fax shown should open in the viewer.
  void ViewRequested(const QString& path);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Render();
  void OnRendered(int request, const QImage& picture, const QString& note);

  QThreadPool pool_;
  QTimer resizeSettled_;
  QString path_;
  QImage picture_;
  QString note_;
  int request_ = 0;
};

}  // namespace tamarind::gui
