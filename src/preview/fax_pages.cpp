#include "preview/fax_pages.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "codec/fax/page_geometry.h"

namespace tamarind {

namespace {

using platform::Failure;

// What a header claims, with the reader's defaults for fields left 0.
struct Claim {
  int64_t width;
  int64_t rows;
  int64_t codedBytes;
  uint16_t yResolution;
};

Claim ClaimOf(const WinFaxPageHeader& header, int64_t fileSize) {
  return {header.width == 0 ? WinFaxPageHeader::kDefaultWidth : header.width,
          header.length == 0 ? WinFaxPageHeader::kDefaultLength : header.length,
          std::clamp<int64_t>(header.data_length, 0, fileSize), header.VerticalResolution()};
}

std::string RefusalOf(const Claim& claim, const PreviewLimits& limits) {
  if (claim.width > limits.maxWidth || claim.width * claim.rows > limits.maxPixels ||
      claim.codedBytes > limits.maxCodedBytes)
    return "page too large to preview";
  return {};
}

// The page's size in square pixels, its rows weighted as ScalePage weighs
// them.
PageExtent ExtentOf(const PageGeometry& geometry) {
  return {
      static_cast<int>(geometry.Width()),
      std::max(1, static_cast<int>(std::lround(static_cast<double>(geometry.Rows()) * geometry.SquareRowHeight())))};
}

PageExtent ExtentOf(const Claim& claim) {
  return ExtentOf(PageGeometry(claim.width, claim.rows, WinFaxReader::kHorizontalResolution, claim.yResolution));
}

}  // namespace

platform::Expected<std::unique_ptr<FaxPages>> FaxPages::Open(const std::string& path, const PreviewLimits& limits) {
  std::unique_ptr<FaxPages> pages(new FaxPages(path, limits));
  auto reader = std::make_unique<WinFaxReader>();
  // A pipe (which would wait for a writer) or a device (which may never
  // end) is refused as it is opened, with what it is.
  if (platform::Status opened = reader->Open(path); !opened) return std::move(opened).failure();
  pages->pageCount_ = reader->CountPages();
  if (pages->pageCount_ == 0) return Failure::About(path, "not a WinFax file");
  for (int i = 0; i < pages->pageCount_; ++i) {
    reader->ReadHeaderAt(reader->PageOffset(i));
    const Claim claim = ClaimOf(reader->Header(), reader->FileSize());
    pages->extents_.push_back(ExtentOf(claim));
    pages->refusals_.push_back(RefusalOf(claim, limits));
  }
  pages->ReturnReader(std::move(reader));
  return pages;
}

std::unique_ptr<WinFaxReader> FaxPages::TakeReader() const {
  {
    std::lock_guard lock(readersLock_);
    if (!idleReaders_.empty()) {
      std::unique_ptr<WinFaxReader> reader = std::move(idleReaders_.back());
      idleReaders_.pop_back();
      return reader;
    }
  }
  auto reader = std::make_unique<WinFaxReader>();
  // The file may have changed since it was opened: a reader that finds
  // fewer pages than the first walk gives no data for the missing ones.
  if (reader->Open(path_)) reader->CountPages();
  return reader;
}

void FaxPages::ReturnReader(std::unique_ptr<WinFaxReader> reader) const {
  std::lock_guard lock(readersLock_);
  idleReaders_.push_back(std::move(reader));
}

platform::Expected<FaxPage> FaxPages::Decode(int index) const {
  if (index < 0 || index >= pageCount_) return Failure{"no such page"};
  if (!refusals_[index].empty()) return Failure{refusals_[index]};
  std::unique_ptr<WinFaxReader> reader = TakeReader();
  FaxPage page;
  reader->DecodePage(index, page);
  ReturnReader(std::move(reader));
  if (page.width < 1 || page.height < 1) return Failure{"the page holds no image"};
  std::lock_guard lock(extentsLock_);
  extents_[static_cast<size_t>(index)] = ExtentOf(PageGeometry(page));
  return page;
}

PageExtent FaxPages::Extent(int index) const {
  if (index < 0 || index >= pageCount_) return {};
  std::lock_guard lock(extentsLock_);
  return extents_[static_cast<size_t>(index)];
}

platform::Expected<GreyPicture> FaxPages::Render(int index, double scale, int quarterTurns) const {
  platform::Expected<FaxPage> page = Decode(index);
  if (!page) return std::move(page).failure();
  // ScalePage fits the page into a box; a box as wide as the scaled page
  // and of any height gives that scale.
  const double clamped = std::clamp(scale, 1e-4, 1.0);
  const int width = std::max(1, static_cast<int>(std::lround(page->width * clamped)));
  return RotatePicture(ScalePage(*page, width, std::numeric_limits<int>::max()), quarterTurns);
}

GreyPicture RotatePicture(const GreyPicture& picture, int quarterTurns) {
  const int turns = ((quarterTurns % 4) + 4) % 4;
  if (turns == 0) return picture;
  GreyPicture turned;
  turned.width = turns == 2 ? picture.width : picture.height;
  turned.height = turns == 2 ? picture.height : picture.width;
  turned.samples.resize(picture.samples.size());
  const int w = picture.width;
  const int h = picture.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      // Where (x, y) lands after the turn, clockwise.
      int tx = 0;
      int ty = 0;
      switch (turns) {
        case 1:
          tx = h - 1 - y;
          ty = x;
          break;
        case 2:
          tx = w - 1 - x;
          ty = h - 1 - y;
          break;
        default:
          tx = y;
          ty = w - 1 - x;
          break;
      }
      turned.samples[static_cast<size_t>(ty) * static_cast<size_t>(turned.width) + static_cast<size_t>(tx)] =
          picture.At(x, y);
    }
  }
  return turned;
}

}  // namespace tamarind
