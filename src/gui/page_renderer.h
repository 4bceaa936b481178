// Renders a fax's pages on worker threads for the viewer and hands each
// picture back on the window's thread. Pages come from a bounded cache when
// they were rendered lately; a request that nobody waits for any more (the
// user went on to another page, the strip scrolled) is dropped before it
// starts.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>

#include "preview/fax_pages.h"
#include "preview/picture_cache.h"

namespace tamarind::gui {

class PageRenderer : public QObject {
  Q_OBJECT

 public:
  // Requests of a kind replace each other: a new page request makes older
  // page requests stale, a new thumbnail round older thumbnail requests.
  enum class Kind { Page, Thumbnail };

  PageRenderer(std::shared_ptr<const FaxPages> pages, QObject* parent = nullptr);
  // Waits for the renders under way.
  ~PageRenderer() override;

  // Makes every earlier request of |kind| stale.
  void StartRound(Kind kind) { ++generation_[static_cast<int>(kind)]; }
  // Renders |page| at |scale| (held to 1) turned by |turns|; Rendered or
  // Refused follows unless a later round made it stale.
  void Request(Kind kind, int page, double scale, int turns);
  // The same page rendered now, on this thread (copy, print).
  platform::Expected<QImage> RenderNow(int page, double scale, int turns) const;

  static QImage ToImage(const GreyPicture& picture);

 signals:
  // Emitted on the window's thread, straight to the receivers.
  void Rendered(tamarind::gui::PageRenderer::Kind kind, const tamarind::PictureKey& key, const QImage& picture);
  void Refused(tamarind::gui::PageRenderer::Kind kind, const tamarind::PictureKey& key, const QString& reason);

 private:
  std::shared_ptr<const FaxPages> pages_;
  std::shared_ptr<PictureCache> cache_;
  std::shared_ptr<std::atomic<int>[]> generation_;
  QThreadPool pool_;
};

}  // namespace tamarind::gui
