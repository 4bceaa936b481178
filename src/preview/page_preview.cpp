#include "preview/page_preview.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "codec/fax/page_geometry.h"
#include "faxdoc/format_code.h"
#include "preview/fax_pages.h"

namespace tamarind {

namespace {

using platform::Failure;

// Where one page column lands in the picture: columns are at most one
// picture pixel wide, so each one shares itself between two picture
// columns at most.
struct ColumnShare {
  int column;    // the first picture column it covers
  float first;   // its width inside that column, in picture pixels
  float second;  // its width inside the next one
};

std::vector<ColumnShare> ColumnShares(int pageWidth, int pictureWidth) {
  const double scale = static_cast<double>(pictureWidth) / pageWidth;
  std::vector<ColumnShare> shares(static_cast<size_t>(pageWidth));
  for (int x = 0; x < pageWidth; ++x) {
    const double left = x * scale;
    const double right = (x + 1) * scale;
    const int column = std::min(static_cast<int>(left), pictureWidth - 1);
    const double inFirst = std::min(right, column + 1.0) - left;
    shares[static_cast<size_t>(x)] = {column, static_cast<float>(inFirst), static_cast<float>(right - left - inFirst)};
  }
  return shares;
}

// Adds the black of one page row to |cover|, as widths in picture pixels.
// Returns false when the row is all white. Runs of white bytes, most of a
// fax, are skipped whole.
bool AddRowBlack(std::span<const uint8_t> row, int width, const std::vector<ColumnShare>& shares,
                 std::vector<float>& cover) {
  bool any = false;
  for (size_t byte = 0; byte < row.size(); ++byte) {
    const uint8_t bits = row[byte];
    if (bits == 0xFF) continue;
    const int first = static_cast<int>(byte) * 8;
    for (int bit = 0; bit < 8 && first + bit < width; ++bit) {
      if (bits & (0x80 >> bit)) continue;  // 1 is white
      const ColumnShare& share = shares[static_cast<size_t>(first) + static_cast<size_t>(bit)];
      cover[static_cast<size_t>(share.column)] += share.first;
      cover[static_cast<size_t>(share.column) + 1] += share.second;
      any = true;
    }
  }
  return any;
}

// The picture rows the page rows cover. A page row is at most a few
// picture pixels high (two for standard rows shown at full size), so only
// the rows still open are kept, in a ring, and each is written out as soon
// as no page row can add to it.
class RowAccumulator {
 public:
  RowAccumulator(GreyPicture& picture, double pageRowHeight) : picture_(picture) {
    const size_t open = static_cast<size_t>(std::ceil(pageRowHeight)) + 2;
    ring_.assign(std::min(open, static_cast<size_t>(picture.height)),
                 std::vector<float>(static_cast<size_t>(picture.width)));
  }

  void Add(const std::vector<float>& cover, double top, double bottom) {
    for (int row = static_cast<int>(top); row < picture_.height && row < bottom; ++row) {
      const float share = static_cast<float>(std::min<double>(bottom, row + 1) - std::max<double>(top, row));
      std::vector<float>& open = ring_[static_cast<size_t>(row) % ring_.size()];
      for (size_t x = 0; x < open.size(); ++x) open[x] += cover[x] * share;
    }
  }

  // Writes out every picture row above |row|.
  void FinishBelow(int row) {
    for (; written_ < std::min(row, picture_.height); ++written_) {
      std::vector<float>& done = ring_[static_cast<size_t>(written_) % ring_.size()];
      uint8_t* out = picture_.samples.data() + static_cast<size_t>(written_) * static_cast<size_t>(picture_.width);
      for (size_t x = 0; x < done.size(); ++x) {
        const float black = std::clamp(done[x], 0.0f, 1.0f);
        out[x] = static_cast<uint8_t>(std::lround(255.0f * (1.0f - black)));
        done[x] = 0;
      }
    }
  }

 private:
  GreyPicture& picture_;
  std::vector<std::vector<float>> ring_;
  int written_ = 0;
};

}  // namespace

GreyPicture ScalePage(const FaxPage& page, int maxWidth, int maxHeight) {
  GreyPicture picture;
  const PageGeometry geometry(page);
  if (geometry.Empty() || !HoldsRows(page) || maxWidth < 1 || maxHeight < 1) return picture;
  // Pixels are square at the horizontal resolution: a superfine row is
  // half a square pixel high, not one whole repeated row.
  const double squareHeight = page.height * geometry.SquareRowHeight();
  const double scale = std::min({1.0, maxWidth / static_cast<double>(page.width), maxHeight / squareHeight});
  picture.width = std::max(1, static_cast<int>(std::lround(page.width * scale)));
  picture.height = std::max(1, static_cast<int>(std::lround(squareHeight * scale)));
  picture.samples.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 255);

  const std::vector<ColumnShare> shares = ColumnShares(page.width, picture.width);
  const double pageRowHeight = static_cast<double>(picture.height) / page.height;  // in picture pixels
  std::vector<float> cover(static_cast<size_t>(picture.width) + 1);
  RowAccumulator rows(picture, pageRowHeight);
  for (int32_t y = 0; y < page.height; ++y) {
    const double top = y * pageRowHeight;
    rows.FinishBelow(static_cast<int>(top));
    std::fill(cover.begin(), cover.end(), 0.0f);
    if (AddRowBlack(page.Row(y), page.width, shares, cover)) rows.Add(cover, top, top + pageRowHeight);
  }
  rows.FinishBelow(picture.height);
  return picture;
}

platform::Expected<GreyPicture> RenderFirstPage(const std::string& path, int maxWidth, int maxHeight,
                                                const PreviewLimits& limits) {
  if (FormatCodeFromExtension(path) != kWinFaxFormat) return Failure::About(path, "not a WinFax file");
  return RenderFirstPageAnyName(path, maxWidth, maxHeight, limits);
}

platform::Expected<GreyPicture> RenderFirstPageAnyName(const std::string& path, int maxWidth, int maxHeight,
                                                       const PreviewLimits& limits) {
  platform::Expected<std::unique_ptr<FaxPages>> pages = FaxPages::Open(path, limits);
  if (!pages) return std::move(pages).failure();
  platform::Expected<FaxPage> page = (*pages)->Decode(0);
  if (!page) return std::move(page).failure().WithPath(path);
  return ScalePage(*page, maxWidth, maxHeight);
}

}  // namespace tamarind
