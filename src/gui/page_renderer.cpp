#include "gui/page_renderer.h"

#include <algorithm>

#include <QThread>

#include "gui/look.h"

namespace tamarind::gui {

namespace {

// About twenty pages of 1728 x 2300 at 1:1.
constexpr size_t kCacheBytes = size_t{80} << 20;

}  // namespace

PageRenderer::PageRenderer(std::shared_ptr<const FaxPages> pages, QObject* parent)
    : QObject(parent),
      pages_(std::move(pages)),
      cache_(std::make_shared<PictureCache>(kCacheBytes)),
      generation_(new std::atomic<int>[2] { 0, 0 }) {
  pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
}

PageRenderer::~PageRenderer() {
  pool_.clear();
  pool_.waitForDone();
}

QImage PageRenderer::ToImage(const GreyPicture& picture) {
  const QImage view(picture.samples.data(), picture.width, picture.height, picture.width, QImage::Format_Grayscale8);
  return view.copy();  // owns its pixels, rows aligned as Qt likes them
}

void PageRenderer::Request(Kind kind, int page, double scale, int turns) {
  const PictureKey key = PictureKey::Of(page, std::min(scale, 1.0), turns);
  const int round = generation_[static_cast<int>(kind)];
  pool_.start([this, kind, key, round, pages = pages_, cache = cache_, generation = generation_] {
    if (generation[static_cast<int>(kind)] != round) return;  // nobody waits for it
    std::shared_ptr<const GreyPicture> picture = cache->Find(key);
    QString refusal;
    if (!picture) {
      platform::Expected<GreyPicture> rendered =
          pages->Render(key.page, static_cast<double>(key.scale) / 1e6, key.turns);
      if (rendered) cache->Put(key, picture = std::make_shared<GreyPicture>(std::move(*rendered)));
      else refusal = ToDisplay(rendered.reason());
    }
    QImage image = picture ? ToImage(*picture) : QImage();
    // The destructor waits for this task, so |this| is still there.
    QMetaObject::invokeMethod(
        this,
        [this, kind, key, image = std::move(image), refusal = std::move(refusal)] {
          if (image.isNull()) emit Refused(kind, key, refusal);
          else emit Rendered(kind, key, image);
        },
        Qt::QueuedConnection);
  });
}

platform::Expected<QImage> PageRenderer::RenderNow(int page, double scale, int turns) const {
  platform::Expected<GreyPicture> rendered = pages_->Render(page, std::min(scale, 1.0), turns);
  if (!rendered) return platform::Failure{rendered.reason()};
  return ToImage(*rendered);
}

}  // namespace tamarind::gui
