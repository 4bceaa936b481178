#include "gui/results_list.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include "gui/look.h"
#include "window/window_texts.h"

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
  setColumnCount(5);
  setHeaderLabels({QStringLiteral("Source Fax Files"), ToDisplay(DestinationColumnHead(OutputFormat::Jpeg)),
                   QStringLiteral("Results"), QStringLiteral("Reason"), QStringLiteral("Header")});
  header()->setDefaultAlignment(Qt::AlignLeft);
  header()->setStretchLastSection(false);
  setTextElideMode(Qt::ElideMiddle);
  SizeColumns();

  rowMenu_ = new QMenu(this);
  viewAction_ = rowMenu_->addAction(QStringLiteral("View fax"));
  openAction_ = rowMenu_->addAction(QStringLiteral("Open output"));
  folderAction_ = rowMenu_->addAction(QStringLiteral("Open containing folder"));
  copyAction_ = rowMenu_->addAction(QStringLiteral("Copy path"));
  rowMenu_->setDefaultAction(viewAction_);
  connect(viewAction_, &QAction::triggered, this, &ResultsList::ViewFax);
  connect(openAction_, &QAction::triggered, this, &ResultsList::OpenOutput);
  connect(folderAction_, &QAction::triggered, this, &ResultsList::OpenContainingFolder);
  connect(copyAction_, &QAction::triggered, this, &ResultsList::CopyPath);
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* row) {
    setCurrentItem(row);
    ViewFax();
  });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* row) { emit FaxSelected(row ? SourcePath(row) : QString()); });
}

void ResultsList::SetFormat(OutputFormat format) {
  headerItem()->setText(kOutputColumn, ToDisplay(DestinationColumnHead(format)));
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
  // the reason and the header get everything else, in equal shares.
  int widest = header()->sectionSizeHint(kResultColumn);
  for (FileResult result : kAllFileResults) widest = std::max(widest, CellWidth(ToDisplay(ResultText(result))));
  for (Column column : {kSourceColumn, kOutputColumn, kReasonColumn, kHeaderColumn})
    header()->setSectionResizeMode(column, QHeaderView::Stretch);
  header()->setSectionResizeMode(kResultColumn, QHeaderView::Fixed);
  header()->resizeSection(kResultColumn, widest);
}

int ResultsList::ReadableWidth() const {
  constexpr int kNameCharacters = 12;
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return header()->sectionSize(kResultColumn) + 3 * kNameCharacters * fontMetrics().averageCharWidth() + scrollBar +
         2 * frameWidth();
}

void ResultsList::BeginRun(std::string sourceFolder, std::string destination) {
  sourceFolder_ = std::move(sourceFolder);
  destination_ = std::move(destination);
  clear();
}

QString ResultsList::ShownSource(const std::string& path) const { return ToDisplay(ShownPath(path, sourceFolder_)); }

void ResultsList::AddFile(int index, const std::string& sourcePath) {
  const QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  auto* row = new QTreeWidgetItem(QStringList{ShownSource(sourcePath)});
  row->setToolTip(kSourceColumn, ToDisplay(sourcePath));
  row->setData(kSourceColumn, kFullPathRole, ToDisplay(sourcePath));
  insertTopLevelItem(index, row);
  if (following) scrollToItem(row);
}

void ResultsList::FinishFile(int index, const FinishedFile& file) {
  QTreeWidgetItem* row = topLevelItem(index);
  if (!row) return;
  const std::string first = file.outputs.empty() ? std::string() : file.outputs.front();
  row->setText(kOutputColumn, ToDisplay(OutputCellText(file.outputs, destination_)));
  row->setToolTip(kOutputColumn, ToDisplay(OutputsToolTip(file.outputs)));
  row->setData(kOutputColumn, kFullPathRole, ToDisplay(first));
  row->setData(kOutputColumn, kOpenPathRole, ToDisplay(first));
  row->setText(kResultColumn, ToDisplay(ResultText(file.result)));
  const std::string source = FromControl(SourcePath(row));
  row->setText(kReasonColumn, ToDisplay(ReasonCellText(file.reason, source, destination_)));
  row->setToolTip(kResultColumn, ToDisplay(file.reason));
  row->setToolTip(kReasonColumn, ToDisplay(file.reason));
  row->setText(kHeaderColumn, ToDisplay(file.header));
  row->setToolTip(kHeaderColumn, ToDisplay(file.header));
}

QString ResultsList::SourcePath(const QTreeWidgetItem* row) {
  return row->data(kSourceColumn, kFullPathRole).toString();
}

QString ResultsList::OpenPath(const QTreeWidgetItem* row) { return row->data(kOutputColumn, kOpenPathRole).toString(); }

void ResultsList::UpdateMenu() {
  const QTreeWidgetItem* row = currentItem();
  viewAction_->setEnabled(row != nullptr);
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

void ResultsList::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && currentItem()) {
    ViewFax();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void ResultsList::ViewFax() {
  if (const QTreeWidgetItem* row = currentItem()) emit ViewRequested(SourcePath(row));
}

void ResultsList::Open(const QString& path) {
  if (!opener_(QUrl::fromLocalFile(path))) emit NothingOpens(path);
}

void ResultsList::OpenOutput() {
  const QTreeWidgetItem* row = currentItem();
  if (row && !OpenPath(row).isEmpty()) Open(OpenPath(row));
}

// The output's folder, or the source's when nothing was written.
void ResultsList::OpenContainingFolder() {
  const QTreeWidgetItem* row = currentItem();
  if (!row) return;
  const QString file = OpenPath(row).isEmpty() ? SourcePath(row) : OpenPath(row);
  Open(QFileInfo(file).absolutePath());
}

void ResultsList::CopyPath() {
  const QTreeWidgetItem* row = currentItem();
  if (!row) return;
  QApplication::clipboard()->setText(OpenPath(row).isEmpty() ? SourcePath(row) : OpenPath(row));
}

}  // namespace tamarind::gui
