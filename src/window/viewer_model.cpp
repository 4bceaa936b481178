#include "window/viewer_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "convert/output_names.h"

namespace tamarind {

namespace {

Extent Turned(Extent extent, int turns) { return turns % 2 ? Extent{extent.height, extent.width} : extent; }

}  // namespace

ViewerModel::ViewerModel(int pageCount) : pageCount_(std::max(pageCount, 1)) {}

bool ViewerModel::GoTo(int page) {
  const int held = std::clamp(page, 0, pageCount_ - 1);
  if (held == page_) return false;
  page_ = held;
  return true;
}

void ViewerModel::SetScale(double scale) {
  mode_ = ZoomMode::Fixed;
  scale_ = std::clamp(scale, kSmallestScale, kLargestScale);
}

double FitScale(Extent page, Extent box) {
  if (page.width < 1 || page.height < 1 || box.width < 1 || box.height < 1) return 1.0;
  return std::min(static_cast<double>(box.width) / page.width, static_cast<double>(box.height) / page.height);
}

double ViewerModel::ScaleFor(Extent page, Extent viewport) const {
  const Extent turned = Turned(page, turns_);
  double scale = scale_;
  if (mode_ == ZoomMode::FitPage) scale = FitScale(turned, viewport);
  else if (mode_ == ZoomMode::FitWidth && turned.width > 0) scale = static_cast<double>(viewport.width) / turned.width;
  return std::clamp(scale, kSmallestScale, kLargestScale);
}

Extent ViewerModel::ShownExtent(Extent page, Extent viewport) const {
  const double scale = ScaleFor(page, viewport);
  const Extent turned = Turned(page, turns_);
  return {std::max(1, static_cast<int>(std::lround(turned.width * scale))),
          std::max(1, static_cast<int>(std::lround(turned.height * scale)))};
}

std::string ViewerModel::PageText() const {
  return "Page " + std::to_string(page_ + 1) + " of " + std::to_string(pageCount_);
}

std::string ViewerModel::Title(std::string_view path) const {
  std::string title(LastComponent(path));
  if (pageCount_ > 1) title += ", page " + std::to_string(page_ + 1) + " of " + std::to_string(pageCount_);
  return title + " - Tamarind";
}

std::string ViewerModel::ZoomText(Extent page, Extent viewport) const {
  switch (mode_) {
    case ZoomMode::FitPage: return "Fit page";
    case ZoomMode::FitWidth: return "Fit width";
    case ZoomMode::Fixed: break;
  }
  return std::to_string(std::lround(ScaleFor(page, viewport) * 100)) + "%";
}

int PageFromText(std::string_view text, int pageCount) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  long number = 0;
  size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 9; ++i, ++digits)
    number = number * 10 + (text[i] - '0');
  if (digits == 0 || number < 1 || number > pageCount) return -1;
  // Whatever follows the number ("of 12") is the box's own text.
  return static_cast<int>(number - 1);
}

bool ShowsThumbnails(int pageCount) { return pageCount > 1; }

Extent ThumbnailBox(int boxWidth) {
  // A4 and letter pages are about 0.71 as wide as they are high.
  return {boxWidth, static_cast<int>(std::lround(boxWidth / 0.71))};
}

}  // namespace tamarind
