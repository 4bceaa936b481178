// What the fax viewer shows, without the window: the page in view, the
// zoom and its fit modes, the quarter turns, the texts of its title and
// page box, and the strip of page thumbnails. Sizes are in the page's
// square pixels at scale 1 and in the viewport's pixels.
#pragma once

#include <string>
#include <string_view>

namespace tamarind {

struct Extent {
  int width = 0;
  int height = 0;
  bool operator==(const Extent&) const = default;
};

enum class ZoomMode {
  FitPage,   // the whole page in the viewport
  FitWidth,  // the page as wide as the viewport; scroll down
  Fixed,     // the scale chosen (1:1, or stepped with the wheel and keys)
};

class ViewerModel {
 public:
  // Pages are drawn at most four times their own size, and at least so
  // small that a page still shows as a readable thumbnail.
  static constexpr double kLargestScale = 4.0;
  static constexpr double kSmallestScale = 0.05;
  static constexpr double kZoomStep = 1.25;

  explicit ViewerModel(int pageCount);

  int PageCount() const { return pageCount_; }
  // 0-based.
  int Page() const { return page_; }
  // Each returns whether the page in view changed; pages past either end
  // are held to it.
  bool GoTo(int page);
  bool Next() { return GoTo(page_ + 1); }
  bool Previous() { return GoTo(page_ - 1); }
  bool First() { return GoTo(0); }
  bool Last() { return GoTo(pageCount_ - 1); }
  bool HasNext() const { return page_ + 1 < pageCount_; }
  bool HasPrevious() const { return page_ > 0; }

  ZoomMode Mode() const { return mode_; }
  void FitPage() { mode_ = ZoomMode::FitPage; }
  void FitWidth() { mode_ = ZoomMode::FitWidth; }
  // One page pixel to one viewport pixel.
  void ActualSize() { SetScale(1.0); }
  // A step up or down from the scale now in effect for |page| in
  // |viewport|, which becomes the fixed scale.
  void ZoomIn(Extent page, Extent viewport) { SetScale(ScaleFor(page, viewport) * kZoomStep); }
  void ZoomOut(Extent page, Extent viewport) { SetScale(ScaleFor(page, viewport) / kZoomStep); }
  void SetScale(double scale);

  // Quarter turns clockwise, 0 to 3.
  int Turns() const { return turns_; }
  void RotateRight() { turns_ = (turns_ + 1) % 4; }
  void RotateLeft() { turns_ = (turns_ + 3) % 4; }

  // The scale |page| (unturned) is drawn at in |viewport|.
  double ScaleFor(Extent page, Extent viewport) const;
  // The page as drawn: turned, at ScaleFor.
  Extent ShownExtent(Extent page, Extent viewport) const;

  // "Page 3 of 12".
  std::string PageText() const;
  // "fax.fxd, page 3 of 12 - Tamarind", for |path|.
  std::string Title(std::string_view path) const;
  // What the zoom box shows: "Fit page", "Fit width" or "150%".
  std::string ZoomText(Extent page, Extent viewport) const;

 private:
  int pageCount_;
  int page_ = 0;
  ZoomMode mode_ = ZoomMode::FitPage;
  double scale_ = 1.0;
  int turns_ = 0;
};

// Reads what the user typed into the page box ("3", " 3 ", "3 of 12"): the
// 0-based page, or -1 when it names none of |pageCount| pages.
int PageFromText(std::string_view text, int pageCount);

// The thumbnail strip: shown only for faxes of more than one page; each
// thumbnail fits a box |boxWidth| wide and as tall as a portrait page.
bool ShowsThumbnails(int pageCount);
Extent ThumbnailBox(int boxWidth);
// The scale that fits |page| into |box|.
double FitScale(Extent page, Extent box);

}  // namespace tamarind
