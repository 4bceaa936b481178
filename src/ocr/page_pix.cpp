#include "ocr/page_pix.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/fax/page_geometry.h"
#include "codec/fax/page_resolution.h"

namespace tamarind::ocr {
namespace {

// Four page bytes (1 = white) as one Pix word (1 = black, first byte in the
// most significant bits); bytes past the row are white.
uint32_t PixWord(std::span<const uint8_t> row, size_t first) {
  uint32_t word = 0;
  for (size_t i = first; i < first + 4; ++i) word = word << 8 | (i < row.size() ? static_cast<uint8_t>(~row[i]) : 0u);
  return word;
}

}  // namespace

void PixDeleter::operator()(Pix* pix) const { pixDestroy(&pix); }

RowScale RecognisedRows(const FaxPage& page, int64_t most_pixels) {
  const PageGeometry geometry(page);
  const PageResolution resolution = TruePageResolution(page);
  const RowScale repeated = RowScale::Repeat(page.height, static_cast<int32_t>(geometry.RowRepeat()));
  const int64_t square = (int64_t{page.height} * resolution.x_dpi + resolution.y_dpi / 2) / resolution.y_dpi;
  if (square <= repeated.image_rows || square > kMaxRecognisedDimension || square * page.width > most_pixels)
    return repeated;
  return RowScale{page.height, static_cast<int32_t>(square)};
}

PixPtr PixOfPage(const FaxPage& page, RowScale rows) {
  PixPtr pix(pixCreateNoInit(page.width, rows.image_rows, 1));
  if (!pix) return nullptr;
  l_uint32* data = pixGetData(pix.get());
  const size_t wpl = static_cast<size_t>(pixGetWpl(pix.get()));
  const int tail_bits = page.width % 32;
  const uint32_t last_word_mask = tail_bits == 0 ? ~uint32_t{0} : ~uint32_t{0} << (32 - tail_bits);
  // Image rows showing the same page row follow each other: the first is
  // converted, the others copied from the row above.
  int32_t shown = -1;
  for (int32_t y = 0; y < rows.image_rows; ++y) {
    l_uint32* line = data + static_cast<size_t>(y) * wpl;
    const int32_t page_row = rows.PageRow(y);
    if (page_row == shown) {
      std::memcpy(line, line - wpl, wpl * sizeof *line);
      continue;
    }
    const std::span<const uint8_t> row = page.Row(page_row);
    for (size_t w = 0; w < wpl; ++w) line[w] = PixWord(row, 4 * w);
    line[wpl - 1] &= last_word_mask;
    shown = page_row;
  }
  return pix;
}

PixPtr Rotated180(const Pix& pix) { return PixPtr(pixRotate180(nullptr, const_cast<Pix*>(&pix))); }

PixelBox BoxOnPage(const Pix& recognised, const PixelBox& found, RowScale rows, bool turned) {
  PixelBox box = found;
  if (turned) {
    const int32_t width = pixGetWidth(const_cast<Pix*>(&recognised));
    const int32_t height = pixGetHeight(const_cast<Pix*>(&recognised));
    box = PixelBox{width - found.right, height - found.bottom, width - found.left, height - found.top};
  }
  // Image rows only ever show later page rows further down, so the box's
  // first and last image rows give its first and last page rows.
  const int32_t top = std::clamp(box.top, 0, rows.image_rows - 1);
  const int32_t last = std::clamp(box.bottom - 1, top, rows.image_rows - 1);
  return PixelBox{box.left, rows.PageRow(top), box.right, rows.PageRow(last) + 1};
}

}  // namespace tamarind::ocr
