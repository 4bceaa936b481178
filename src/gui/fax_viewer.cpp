#include "gui/fax_viewer.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "gui/artwork.h"
#include "gui/look.h"
#include "gui/page_view.h"

namespace tamarind::gui {

namespace {

constexpr int kThumbnailWidth = 96;

struct Opened {
  std::shared_ptr<const FaxPages> pages;
  QString failure;
};

Opened OpenFax(const QString& path) {
  platform::Expected<std::unique_ptr<FaxPages>> pages = FaxPages::Open(FromControl(path));
  // The reason names the file.
  if (!pages) return {nullptr, QStringLiteral("Cannot show the fax:\n%1").arg(ToDisplay(pages.reason()))};
  return {std::shared_ptr<const FaxPages>(std::move(*pages)), QString()};
}

// The actions, by object name: text, shortcut, toolbar or not.
struct ActionEntry {
  const char* name;
  const char* text;
  const char* shortText;  // on the tool bar, when there is no icon
  QStyle::StandardPixmap icon;
  QKeySequence keys;
  QKeySequence moreKeys;
};

constexpr auto kNoIcon = QStyle::SP_CustomBase;

}  // namespace

FaxViewer::FaxViewer(const QString& path, QWidget* parent) : QMainWindow(parent), path_(path), model_(0) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(AppIcon());
  Opened opened = OpenFax(path);
  pages_ = std::move(opened.pages);
  failure_ = std::move(opened.failure);
  model_ = ViewerModel(pages_ ? pages_->PageCount() : 1);
  view_ = new PageView(this);
  CreateActions();
  CreateToolBar();
  CreateThumbnails();
  auto* centre = new QWidget(this);
  auto* row = new QHBoxLayout(centre);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(thumbnails_);
  row->addWidget(view_, 1);
  setCentralWidget(centre);
  if (pages_) renderer_ = std::make_unique<PageRenderer>(pages_);
  ConnectSignals();
  // A portrait page fills most of the screen's height.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableGeometry().size();
    resize(std::min(room.width(), room.height() * 3 / 4 + (thumbnails_->isHidden() ? 0 : 160)), room.height() * 9 / 10);
  }
  if (!pages_) view_->ShowNote(failure_);
  for (QAction* action : actions()) action->setEnabled(pages_ != nullptr || action->objectName() == "close");
  UpdateTexts();
}

FaxViewer::~FaxViewer() = default;

QAction* FaxViewer::Action(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

void FaxViewer::CreateActions() {
  const ActionEntry entries[] = {
      {"first", "First page", "", QStyle::SP_MediaSkipBackward, Qt::Key_Home, {}},
      {"previous", "Previous page", "", QStyle::SP_ArrowBack, Qt::Key_PageUp, {}},
      {"next", "Next page", "", QStyle::SP_ArrowForward, Qt::Key_PageDown, {}},
      {"last", "Last page", "", QStyle::SP_MediaSkipForward, Qt::Key_End, {}},
      {"fitPage", "Fit page", "Page", kNoIcon, Qt::CTRL | Qt::Key_0, {}},
      {"fitWidth", "Fit width", "Width", kNoIcon, Qt::CTRL | Qt::Key_2, {}},
      {"actualSize", "1:1", "1:1", kNoIcon, Qt::CTRL | Qt::Key_1, {}},
      {"zoomOut", "Zoom out", "\u2212", kNoIcon, QKeySequence::ZoomOut, Qt::Key_Minus},
      {"zoomIn", "Zoom in", "+", kNoIcon, QKeySequence::ZoomIn, Qt::Key_Plus},
      {"rotateLeft", "Rotate left", "\u27f2", kNoIcon, Qt::CTRL | Qt::SHIFT | Qt::Key_R, {}},
      {"rotateRight", "Rotate right", "\u27f3", kNoIcon, Qt::CTRL | Qt::Key_R, {}},
      {"copy", "&Copy page", "Copy", kNoIcon, QKeySequence::Copy, {}},
      {"print", "&Print...", "Print", kNoIcon, QKeySequence::Print, {}},
      {"convert", "Con&vert...", "Convert...", kNoIcon, {}, {}},
      {"close", "Close", "", kNoIcon, QKeySequence::Close, {}},
  };
  for (const ActionEntry& entry : entries) {
    auto* action = new QAction(QString::fromUtf8(entry.text), this);
    action->setObjectName(QString::fromLatin1(entry.name));
    if (entry.icon != kNoIcon) action->setIcon(style()->standardIcon(entry.icon));
    else if (*entry.shortText) action->setIconText(QString::fromUtf8(entry.shortText));
    QList<QKeySequence> keys;
    for (const QKeySequence& key : {entry.keys, entry.moreKeys})
      if (!key.isEmpty()) keys.push_back(key);
    action->setShortcuts(keys);
    if (!keys.isEmpty())
      action->setToolTip(action->text().remove('&') + " (" + keys.front().toString(QKeySequence::NativeText) + ")");
    addAction(action);
  }
}

void FaxViewer::CreateToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Fax"));
  bar->setObjectName(QStringLiteral("toolbar"));
  bar->setMovable(false);
  for (const char* name : {"first", "previous"}) bar->addAction(Action(name));
  pageBox_ = new QLineEdit(this);
  pageBox_->setAlignment(Qt::AlignRight);
  pageBox_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
  pageBox_->setToolTip(QStringLiteral("Page number: type one and press Enter"));
  bar->addWidget(pageBox_);
  pageCount_ = new QLabel(this);
  bar->addWidget(pageCount_);
  for (const char* name : {"next", "last"}) bar->addAction(Action(name));
  bar->addSeparator();
  for (const char* name : {"fitPage", "fitWidth", "actualSize", "zoomOut", "zoomIn"}) bar->addAction(Action(name));
  zoomText_ = new QLabel(this);
  zoomText_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral(" Fit width ")));
  bar->addWidget(zoomText_);
  bar->addSeparator();
  for (const char* name : {"rotateLeft", "rotateRight"}) bar->addAction(Action(name));
  bar->addSeparator();
  for (const char* name : {"copy", "print", "convert"}) bar->addAction(Action(name));
}

void FaxViewer::CreateThumbnails() {
  thumbnails_ = new QListWidget(this);
  thumbnails_->setViewMode(QListView::IconMode);
  thumbnails_->setFlow(QListView::TopToBottom);
  thumbnails_->setWrapping(false);
  thumbnails_->setMovement(QListView::Static);
  thumbnails_->setUniformItemSizes(true);
  const Extent box = ThumbnailBox(kThumbnailWidth);
  thumbnails_->setIconSize(QSize(box.width, box.height));
  const int scrollBar = thumbnails_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  thumbnails_->setFixedWidth(box.width + 16 + scrollBar + 2 * thumbnails_->frameWidth());
  // One blank picture, shared by every item until its page is drawn: it
  // gives each item its room in the strip.
  QPixmap blank(box.width, box.height);
  blank.fill(Qt::white);
  const QIcon placeholder(blank);
  for (int page = 0; page < model_.PageCount(); ++page)
    thumbnails_->addItem(new QListWidgetItem(placeholder, QString::number(page + 1)));
  thumbnailDrawn_.assign(static_cast<size_t>(model_.PageCount()), false);
  thumbnails_->setVisible(pages_ && ShowsThumbnails(model_.PageCount()));
}

void FaxViewer::ConnectSignals() {
  connect(Action("first"), &QAction::triggered, this, [this] { GoTo(0); });
  connect(Action("previous"), &QAction::triggered, this, [this] { GoTo(model_.Page() - 1); });
  connect(Action("next"), &QAction::triggered, this, [this] { GoTo(model_.Page() + 1); });
  connect(Action("last"), &QAction::triggered, this, [this] { GoTo(model_.PageCount() - 1); });
  connect(Action("fitPage"), &QAction::triggered, this, &FaxViewer::FitPage);
  connect(Action("fitWidth"), &QAction::triggered, this, &FaxViewer::FitWidth);
  connect(Action("actualSize"), &QAction::triggered, this, &FaxViewer::ActualSize);
  connect(Action("zoomIn"), &QAction::triggered, this, [this] { Zoom(1); });
  connect(Action("zoomOut"), &QAction::triggered, this, [this] { Zoom(-1); });
  connect(Action("rotateLeft"), &QAction::triggered, this, &FaxViewer::RotateLeft);
  connect(Action("rotateRight"), &QAction::triggered, this, &FaxViewer::RotateRight);
  connect(Action("copy"), &QAction::triggered, this, &FaxViewer::CopyPage);
  connect(Action("print"), &QAction::triggered, this, &FaxViewer::OpenPrintDialog);
  connect(Action("convert"), &QAction::triggered, this, [this] { emit ConvertRequested(path_); });
  connect(Action("close"), &QAction::triggered, this, &QWidget::close);
  connect(pageBox_, &QLineEdit::returnPressed, this, &FaxViewer::OnPageBoxEntered);
  connect(view_, &PageView::ZoomStep, this, &FaxViewer::Zoom);
  connect(view_, &PageView::Resized, this, [this] {
    if (model_.Mode() != ZoomMode::Fixed) ShowCurrentPage();
  });
  connect(thumbnails_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) GoTo(row);
  });
  connect(thumbnails_->verticalScrollBar(), &QScrollBar::valueChanged, this, &FaxViewer::RequestVisibleThumbnails);
  if (!renderer_) return;
  connect(renderer_.get(), &PageRenderer::Rendered, this, &FaxViewer::OnRendered);
  connect(renderer_.get(), &PageRenderer::Refused, this, &FaxViewer::OnRefused);
}

void FaxViewer::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Sizes are known once the window is laid out.
  QTimer::singleShot(0, this, [this] {
    ShowCurrentPage();
    RequestVisibleThumbnails();
  });
}

Extent FaxViewer::PageExtentNow() const {
  if (!pages_) return {};
  const PageExtent extent = pages_->Extent(model_.Page());
  return {extent.width, extent.height};
}

Extent FaxViewer::ViewportNow() const {
  const QSize area = view_->DeviceViewport();
  return {area.width(), area.height()};
}

PictureKey FaxViewer::CurrentKey() const {
  return PictureKey::Of(model_.Page(), std::min(model_.ScaleFor(PageExtentNow(), ViewportNow()), 1.0), model_.Turns());
}

bool FaxViewer::PictureIsCurrent() const { return !view_->Picture().isNull() && pictureKey_ == CurrentKey(); }

void FaxViewer::GoTo(int index) {
  if (!pages_ || !model_.GoTo(index)) return;
  ShowCurrentPage();
}

void FaxViewer::FitPage() {
  model_.FitPage();
  ShowCurrentPage();
}
void FaxViewer::FitWidth() {
  model_.FitWidth();
  ShowCurrentPage();
}
void FaxViewer::ActualSize() {
  model_.ActualSize();
  ShowCurrentPage();
}
void FaxViewer::RotateRight() {
  model_.RotateRight();
  ShowCurrentPage();
}
void FaxViewer::RotateLeft() {
  model_.RotateLeft();
  ShowCurrentPage();
}

void FaxViewer::Zoom(int steps) {
  for (; steps > 0; --steps) model_.ZoomIn(PageExtentNow(), ViewportNow());
  for (; steps < 0; ++steps) model_.ZoomOut(PageExtentNow(), ViewportNow());
  ShowCurrentPage();
}

void FaxViewer::ShowCurrentPage() {
  UpdateTexts();
  if (!renderer_) return;
  const Extent shown = model_.ShownExtent(PageExtentNow(), ViewportNow());
  const qreal ratio = view_->devicePixelRatioF();
  const QSize logical(qRound(shown.width / ratio), qRound(shown.height / ratio));
  // The same page at another size or turn stays in view, stretched, until
  // its new picture comes; another page says it is on its way.
  if (shownPage_ == model_.Page() && shownTurns_ == model_.Turns() && !view_->Picture().isNull())
    view_->ShowPicture(view_->Picture(), logical);
  else view_->ShowNote(QStringLiteral("Page %1 ...").arg(model_.Page() + 1), logical);
  renderer_->StartRound(PageRenderer::Kind::Page);
  const PictureKey key = CurrentKey();
  renderer_->Request(PageRenderer::Kind::Page, key.page, static_cast<double>(key.scale) / 1e6, key.turns);
}

void FaxViewer::OnRendered(PageRenderer::Kind kind, const PictureKey& key, const QImage& picture) {
  if (kind == PageRenderer::Kind::Thumbnail) {
    if (QListWidgetItem* item = thumbnails_->item(key.page)) {
      item->setIcon(QIcon(QPixmap::fromImage(picture)));
      thumbnailDrawn_[static_cast<size_t>(key.page)] = true;
    }
    return;
  }
  if (key.page != model_.Page() || key.turns != model_.Turns()) return;  // the user has gone on
  shownPage_ = key.page;
  shownTurns_ = key.turns;
  pictureKey_ = key;
  if (!(key == CurrentKey())) {
    // Decoding showed the page's true length (headers often claim more
    // rows than a page holds): a fit needs another scale. The picture
    // stands in, stretched, until that one comes.
    view_->ShowPicture(picture, view_->Picture().isNull() ? picture.size() : view_->Picture().size());
    ShowCurrentPage();
    return;
  }
  const double scale = model_.ScaleFor(PageExtentNow(), ViewportNow());
  const double repeat = std::max(1.0, scale);  // past 1:1 pixels are repeated
  const qreal ratio = view_->devicePixelRatioF();
  view_->ShowPicture(picture,
                     QSize(qRound(picture.width() * repeat / ratio), qRound(picture.height() * repeat / ratio)));
  emit PageShown();
}

void FaxViewer::OnRefused(PageRenderer::Kind kind, const PictureKey& key, const QString& reason) {
  if (kind == PageRenderer::Kind::Thumbnail || !(key == CurrentKey())) return;
  view_->ShowNote(QStringLiteral("Page %1 cannot be shown: %2").arg(key.page + 1).arg(reason));
  emit PageShown();
}

void FaxViewer::UpdateTexts() {
  setWindowTitle(ToDisplay(model_.Title(FromControl(path_))));
  pageBox_->setText(QString::number(model_.Page() + 1));
  pageCount_->setText(QStringLiteral(" of %1 ").arg(model_.PageCount()));
  zoomText_->setText(ToDisplay(model_.ZoomText(PageExtentNow(), ViewportNow())));
  if (!pages_) return;
  Action("first")->setEnabled(model_.HasPrevious());
  Action("previous")->setEnabled(model_.HasPrevious());
  Action("next")->setEnabled(model_.HasNext());
  Action("last")->setEnabled(model_.HasNext());
  const QSignalBlocker quiet(thumbnails_);
  thumbnails_->setCurrentRow(model_.Page());
}

void FaxViewer::OnPageBoxEntered() {
  const int page = PageFromText(FromControl(pageBox_->text()), model_.PageCount());
  if (page < 0) {
    QApplication::beep();
    UpdateTexts();
    pageBox_->selectAll();
    return;
  }
  GoTo(page);
}

void FaxViewer::RequestVisibleThumbnails() {
  if (!renderer_ || !thumbnails_->isVisible()) return;
  renderer_->StartRound(PageRenderer::Kind::Thumbnail);
  const QRect area = thumbnails_->viewport()->rect();
  const QModelIndex top = thumbnails_->indexAt(area.topLeft() + QPoint(area.width() / 2, 4));
  const int first = top.isValid() ? top.row() : 0;
  const Extent box = ThumbnailBox(qRound(kThumbnailWidth * devicePixelRatioF()));
  for (int row = first; row < model_.PageCount(); ++row) {
    QListWidgetItem* item = thumbnails_->item(row);
    if (thumbnails_->visualItemRect(item).top() > area.bottom()) break;
    if (thumbnailDrawn_[static_cast<size_t>(row)]) continue;
    // As wide as the box: headers often claim more rows than a page holds,
    // and the strip fits what comes into the box anyway.
    const PageExtent claimed = pages_->Extent(row);
    renderer_->Request(PageRenderer::Kind::Thumbnail, row, static_cast<double>(box.width) / std::max(1, claimed.width),
                       0);
  }
}

void FaxViewer::CopyPage() {
  if (!renderer_) return;
  platform::Expected<QImage> page = renderer_->RenderNow(model_.Page(), 1.0, model_.Turns());
  if (page) QApplication::clipboard()->setImage(*page);
}

void FaxViewer::OpenPrintDialog() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setMinMax(1, model_.PageCount());
  if (dialog.exec() == QDialog::Accepted) Print(printer);
}

void FaxViewer::Print(QPrinter& printer) {
  if (!renderer_) return;
  int first = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
  int last = printer.toPage() > 0 ? printer.toPage() - 1 : model_.PageCount() - 1;
  QPainter painter(&printer);
  for (int page = first; page <= last; ++page) {
    if (page > first) printer.newPage();
    platform::Expected<QImage> picture = renderer_->RenderNow(page, 1.0, model_.Turns());
    if (!picture) continue;
    const QRect area = painter.viewport();
    QSize size = picture->size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(area.topLeft(), size), *picture);
  }
}

}  // namespace tamarind::gui
