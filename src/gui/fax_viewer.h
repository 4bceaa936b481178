// The fax viewer: a WinFax file page by page, read from the fax itself,
// with square pixels. Page navigation, zoom (fit page, fit width, 1:1,
// steps), quarter turns, copy, print, a strip of thumbnails for faxes of
// several pages, and "Convert..." to take the fax to the main window.
// What it shows is decided by ViewerModel; pages are rendered on worker
// threads by PageRenderer.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <vector>

#include "gui/page_renderer.h"
#include "window/viewer_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;

namespace tamarind::gui {

class PageView;

class FaxViewer : public QMainWindow {
  Q_OBJECT

 public:
  // Opens the fax at |path|; a file that cannot be shown says why in the
  // page area.
  explicit FaxViewer(const QString& path, QWidget* parent = nullptr);
  ~FaxViewer() override;

  const QString& Path() const { return path_; }
  // Null when the file could not be opened; Failure() then says why.
  const FaxPages* Pages() const { return pages_.get(); }
  const QString& Failure() const { return failure_; }
  const ViewerModel& Model() const { return model_; }
  PageView* View() const { return view_; }
  QListWidget* Thumbnails() const { return thumbnails_; }
  QLineEdit* PageBox() const { return pageBox_; }
  // The actions by their object names ("next", "fitWidth", "print", ...).
  QAction* Action(const char* name) const;

  // Shows page |index| (0-based).
  void GoTo(int index);
  void FitPage();
  void FitWidth();
  void ActualSize();
  void Zoom(int steps);
  void RotateRight();
  void RotateLeft();
  void CopyPage();
  // Prints every page, each fitted to the printer's page.
  void Print(QPrinter& printer);

 signals:
  // "Convert...": the fax should become the main window's source.
  void ConvertRequested(const QString& path);
  // The page in view is drawn (or refused) at the present zoom and turn.
  void PageShown();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateActions();
  void CreateToolBar();
  void CreateThumbnails();
  void ConnectSignals();  // every signal of the viewer and its handler, in one place
  void ShowCurrentPage();
  void UpdateTexts();
  void OnPageBoxEntered();
  void OnRendered(PageRenderer::Kind kind, const PictureKey& key, const QImage& picture);
  void OnRefused(PageRenderer::Kind kind, const PictureKey& key, const QString& reason);
  void RequestVisibleThumbnails();
  void OpenPrintDialog();
  Extent PageExtentNow() const;
  Extent ViewportNow() const;
  PictureKey CurrentKey() const;

  QString path_;
  std::shared_ptr<const FaxPages> pages_;
  QString failure_;
  ViewerModel model_;
  std::unique_ptr<PageRenderer> renderer_;
  PageView* view_ = nullptr;
  QListWidget* thumbnails_ = nullptr;
  QLineEdit* pageBox_ = nullptr;
  QLabel* pageCount_ = nullptr;
  QLabel* zoomText_ = nullptr;
  int shownPage_ = -1;  // the page and turn of the picture in view
  int shownTurns_ = 0;
  PictureKey pictureKey_;  // and its scale
  std::vector<bool> thumbnailDrawn_;

 public:
  // True once the picture in view is the page, zoom and turn asked for.
  bool PictureIsCurrent() const;
  // The thumbnail of |page| is drawn (it is blank until it comes into
  // sight).
  bool HasThumbnail(int page) const {
    return page >= 0 && page < static_cast<int>(thumbnailDrawn_.size()) && thumbnailDrawn_[page];
  }
};

}  // namespace tamarind::gui
