// The Convert tab's results list: one row per file of a run, its source
// and the files written shown relative to the run's folders (elided in the
// middle so that file names stay visible, whole in the tooltip), its result
// and, for a failure, the reason, then the text the sender's software put
// in the fax's first page header (who sent it, often what about). The result column is as wide as its
// widest word; the other columns share the rest. A double-click or Enter
// on a row shows its fax in the viewer, and the context menu offers "View
// fax", "Open output", "Open containing folder" and "Copy path".
#pragma once

#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <string>

#include "convert/conversion_options.h"
#include "window/gui_run.h"

class QAction;
class QMenu;

namespace tamarind::gui {

class ResultsList : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { kSourceColumn = 0, kOutputColumn = 1, kResultColumn = 2, kReasonColumn = 3, kHeaderColumn = 4 };

  explicit ResultsList(QWidget* parent = nullptr);

  // The output column's head names the format written.
  void SetFormat(OutputFormat format);
  // Empties the list for a run from |sourceFolder| into |destination|.
  void BeginRun(std::string sourceFolder, std::string destination);
  // Adds the row; the list follows it only when it was scrolled to the
  // bottom, so a user reading earlier rows keeps their place.
  void AddFile(int index, const std::string& sourcePath);
  void FinishFile(int index, const FinishedFile& file);
  // |path| as a row shows it: relative to the run's source folder.
  QString ShownSource(const std::string& path) const;

  // The full paths behind a row: its source, and the file an output
  // viewer opens (page 1 of the output; empty when nothing was written).
  static QString SourcePath(const QTreeWidgetItem* row);
  static QString OpenPath(const QTreeWidgetItem* row);

  // The width the result column needs for |text| with the list's font and
  // style, margins included.
  int CellWidth(const QString& text) const;

  // The narrowest the list can be and still show the result words and a
  // file name of some length in each of the other columns.
  int ReadableWidth() const;

  QMenu* RowMenu() const { return rowMenu_; }
  // What the menu items do to the current row.
  void ViewFax();
  void OpenOutput();
  void OpenContainingFolder();
  void CopyPath();
  // Replaces the desktop's handler of files and folders (tests).
  void SetOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

 signals:
  // The current row changed: the full path of its source ("" for none).
  void FaxSelected(const QString& sourcePath);
  // The row's fax should be shown in the viewer.
  void ViewRequested(const QString& sourcePath);
  // No program on the desktop opens |path|.
  void NothingOpens(const QString& path);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SizeColumns();
  void UpdateMenu();
  void Open(const QString& path);

  std::string sourceFolder_;
  std::string destination_;
  QMenu* rowMenu_ = nullptr;
  QAction* viewAction_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* folderAction_ = nullptr;
  QAction* copyAction_ = nullptr;
  std::function<bool(const QUrl&)> opener_;
};

}  // namespace tamarind::gui
