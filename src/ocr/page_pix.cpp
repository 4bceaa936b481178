#include "ocr/page_pix.h"

#include <leptonica/allheaders.h>

#include <cstdint>
#include <cstring>

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

PixPtr PixOfPage(const FaxPage& page, int row_repeat) {
  PixPtr pix(pixCreateNoInit(page.width, page.height * row_repeat, 1));
  if (!pix) return nullptr;
  l_uint32* data = pixGetData(pix.get());
  const size_t wpl = static_cast<size_t>(pixGetWpl(pix.get()));
  const int tail_bits = page.width % 32;
  const uint32_t last_word_mask = tail_bits == 0 ? ~uint32_t{0} : ~uint32_t{0} << (32 - tail_bits);
  for (int32_t y = 0; y < page.height; ++y) {
    const std::span<const uint8_t> row = page.Row(y);
    l_uint32* line = data + static_cast<size_t>(y) * static_cast<size_t>(row_repeat) * wpl;
    for (size_t w = 0; w < wpl; ++w) line[w] = PixWord(row, 4 * w);
    line[wpl - 1] &= last_word_mask;
    for (int copy = 1; copy < row_repeat; ++copy)
      std::memcpy(line + static_cast<size_t>(copy) * wpl, line, wpl * sizeof *line);
  }
  return pix;
}

PixPtr Rotated180(const Pix& pix) { return PixPtr(pixRotate180(nullptr, const_cast<Pix*>(&pix))); }

PixelBox BoxOnPage(const Pix& recognised, const PixelBox& found, int row_repeat, bool turned) {
  PixelBox box = found;
  if (turned) {
    const int32_t width = pixGetWidth(const_cast<Pix*>(&recognised));
    const int32_t height = pixGetHeight(const_cast<Pix*>(&recognised));
    box = PixelBox{width - found.right, height - found.bottom, width - found.left, height - found.top};
  }
  // A box may start or end inside a page row's repeats: that row is in.
  return PixelBox{box.left, box.top / row_repeat, box.right, (box.bottom + row_repeat - 1) / row_repeat};
}

}  // namespace tamarind::ocr
