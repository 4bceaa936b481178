#include "gui/preview_pane.h"

#include <QPainter>
#include <QResizeEvent>

#include "gui/look.h"
#include "preview/page_preview.h"

namespace tamarind::gui {

namespace {

QImage ToImage(const GreyPicture& picture) {
  const QImage view(picture.samples.data(), picture.width, picture.height, picture.width, QImage::Format_Grayscale8);
  return view.copy();  // owns its pixels, rows aligned as Qt likes them
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  pool_.setMaxThreadCount(1);
  // Render again for the new size once the user stops dragging the edge.
  resizeSettled_.setSingleShot(true);
  resizeSettled_.setInterval(150);
  connect(&resizeSettled_, &QTimer::timeout, this, &PreviewPane::Render);
}

PreviewPane::~PreviewPane() {
  pool_.clear();
  pool_.waitForDone();
}

void PreviewPane::ShowFax(const QString& path) {
  if (path == path_ && (!picture_.isNull() || !note_.isEmpty())) {
    emit Shown();
    return;
  }
  path_ = path;
  picture_ = QImage();
  note_.clear();
  update();
  Render();
}

void PreviewPane::Render() {
  const int request = ++request_;
  pool_.clear();  // a page nobody waits for any more
  if (path_.isEmpty()) {
    emit Shown();
    return;
  }
  if (!isVisible()) return;  // the window is too narrow for it; see showEvent
  const QSize box = contentsRect().size() * devicePixelRatioF();
  pool_.start([this, request, path = FromControl(path_), box] {
    platform::Expected<GreyPicture> page = RenderFirstPage(path, std::max(1, box.width()), std::max(1, box.height()));
    QImage picture = page ? ToImage(*page) : QImage();
    QString note = page ? QString() : ToDisplay(page.reason());
    // The destructor waits for this task, so |this| outlives it; a result
    // still queued when the pane goes is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this, request, picture = std::move(picture), note = std::move(note)] { OnRendered(request, picture, note); },
        Qt::QueuedConnection);
  });
}

void PreviewPane::OnRendered(int request, const QImage& picture, const QString& note) {
  if (request != request_) return;
  picture_ = picture;
  picture_.setDevicePixelRatio(devicePixelRatioF());
  note_ = note.isEmpty() ? QString() : QStringLiteral("No preview: ") + note;
  update();
  emit Shown();
}

void PreviewPane::showEvent(QShowEvent* event) {
  QFrame::showEvent(event);
  if (!path_.isEmpty() && picture_.isNull() && note_.isEmpty()) Render();
}

void PreviewPane::mouseDoubleClickEvent(QMouseEvent* event) {
  QFrame::mouseDoubleClickEvent(event);
  if (!path_.isEmpty()) emit ViewRequested(path_);
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (!path_.isEmpty()) resizeSettled_.start();
}

void PreviewPane::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect area = contentsRect();
  if (picture_.isNull()) {
    painter.drawText(area.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, note_);
    return;
  }
  // Until the picture for a new size arrives, the old one is fitted in.
  QSizeF size = picture_.deviceIndependentSize();
  size.scale(QSizeF(area.size()).boundedTo(size), Qt::KeepAspectRatio);
  QRectF target(QPointF(0, 0), size);
  target.moveCenter(QRectF(area).center());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture_);
}

}  // namespace tamarind::gui
