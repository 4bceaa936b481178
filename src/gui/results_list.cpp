#include "gui/results_list.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QStyleOptionViewItem>

#include "gui/look.h"

namespace tamarind::gui {

namespace {

// Where a row keeps the full paths its cells show shortened.
constexpr int kFullPathRole = Qt::UserRole;
constexpr int kOpenPathRole = Qt::UserRole + 1;

}  // namespace

ResultsList::ResultsList(QWidget* parent)
    : QTreeWidget(parent), opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setColumnCount(3);
  setHeaderLabels({QStringLiteral("Source Fax Files"), QStringLiteral("Destination JPEG Files"),
                   QStringLiteral("Results")});
  header()->setDefaultAlignment(Qt::AlignLeft);
  header()->setStretchLastSection(false);
  setTextElideMode(Qt::ElideMiddle);
  SizeColumns();

  rowMenu_ = new QMenu(this);
  openAction_ = rowMenu_->addAction(QStringLiteral("Open"));
  folderAction_ = rowMenu_->addAction(QStringLiteral("Open containing folder"));
  copyAction_ = rowMenu_->addAction(QStringLiteral("Copy path"));
  rowMenu_->setDefaultAction(openAction_);
  connect(openAction_, &QAction::triggered, this, &ResultsList::OpenOutput);
  connect(folderAction_, &QAction::triggered, this, &ResultsList::OpenContainingFolder);
  connect(copyAction_, &QAction::triggered, this, &ResultsList::CopyPath);
  // A double-click only: Enter, which would also activate the row, ends
  // the program.
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) {
    setCurrentItem(row);
    OpenOutput();
  });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* row) { emit FaxSelected(row ? SourcePath(row) : QString()); });
}

int ResultsList::CellWidth(const QString& text) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.text = text;
  option.features |= QStyleOptionViewItem::HasDisplay;
  return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width();
}

void ResultsList::SizeColumns() {
  // The result words never change, so their column never does; the paths
  // get everything else, in equal shares.
  int widest = header()->sectionSizeHint(kResultColumn);
  for (FileResult result : kAllFileResults) widest = std::max(widest, CellWidth(ToDisplay(ResultText(result))));
  header()->setSectionResizeMode(kSourceColumn, QHeaderView::Stretch);
  header()->setSectionResizeMode(kOutputColumn, QHeaderView::Stretch);
  header()->setSectionResizeMode(kResultColumn, QHeaderView::Fixed);
  header()->resizeSection(kResultColumn, widest);
}

int ResultsList::ReadableWidth() const {
  constexpr int kNameCharacters = 14;
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return header()->sectionSize(kResultColumn) + 2 * kNameCharacters * fontMetrics().averageCharWidth() + scrollBar +
         2 * frameWidth();
}

void ResultsList::BeginRun(std::string sourceFolder, std::string destination) {
  sourceFolder_ = std::move(sourceFolder);
  destination_ = std::move(destination);
  clear();
}

QString ResultsList::ShownSource(const std::string& path) const { return ToDisplay(ShownPath(path, sourceFolder_)); }

void ResultsList::AddFile(int index, const std::string& sourcePath) {
  auto* row = new QTreeWidgetItem(QStringList{ShownSource(sourcePath)});
  row->setToolTip(kSourceColumn, ToDisplay(sourcePath));
  row->setData(kSourceColumn, kFullPathRole, ToDisplay(sourcePath));
  insertTopLevelItem(index, row);
  scrollToItem(row);
}

void ResultsList::FinishFile(int index, const FinishedFile& file) {
  QTreeWidgetItem* row = topLevelItem(index);
  if (!row) return;
  row->setText(kOutputColumn, ToDisplay(ShownPath(file.output, destination_)));
  row->setToolTip(kOutputColumn, ToDisplay(file.output));
  row->setData(kOutputColumn, kFullPathRole, ToDisplay(file.output));
  row->setData(kOutputColumn, kOpenPathRole, ToDisplay(file.firstOutput));
  row->setText(kResultColumn, ToDisplay(ResultText(file.result)));
}

QString ResultsList::SourcePath(const QTreeWidgetItem* row) { return row->data(kSourceColumn, kFullPathRole).toString(); }

QString ResultsList::OpenPath(const QTreeWidgetItem* row) { return row->data(kOutputColumn, kOpenPathRole).toString(); }

void ResultsList::UpdateMenu() {
  const QTreeWidgetItem* row = currentItem();
  openAction_->setEnabled(row && !OpenPath(row).isEmpty());
  folderAction_->setEnabled(row != nullptr);
  copyAction_->setEnabled(row != nullptr);
}

void ResultsList::contextMenuEvent(QContextMenuEvent* event) {
  // Item views get the position in their viewport's coordinates; the menu
  // key acts on the current row.
  if (event->reason() == QContextMenuEvent::Mouse)
    if (QTreeWidgetItem* row = itemAt(event->pos())) setCurrentItem(row);
  if (!currentItem()) return;
  UpdateMenu();
  rowMenu_->popup(event->globalPos());
}

void ResultsList::OpenOutput() {
  const QTreeWidgetItem* row = currentItem();
  if (row && !OpenPath(row).isEmpty()) opener_(QUrl::fromLocalFile(OpenPath(row)));
}

// The output's folder, or the source's when nothing was written.
void ResultsList::OpenContainingFolder() {
  const QTreeWidgetItem* row = currentItem();
  if (!row) return;
  const QString file = OpenPath(row).isEmpty() ? SourcePath(row) : OpenPath(row);
  opener_(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
}

void ResultsList::CopyPath() {
  const QTreeWidgetItem* row = currentItem();
  if (!row) return;
  QApplication::clipboard()->setText(OpenPath(row).isEmpty() ? SourcePath(row) : OpenPath(row));
}

}  // namespace tamarind::gui
