#include "codec/jpeg/page_blocks.h"

#include "codec/fax/page_limits.h"

namespace tamarind {

int64_t SquarePixelRepeat(const FaxPage& page) {
  if (page.y_resolution == 0) return 1;
  return std::max<int64_t>(1, page.x_resolution / page.y_resolution);
}

std::optional<BlockGeometry> MeasureBlocks(const FaxPage& page) {
  BlockGeometry g;
  g.width = page.width;
  g.repeat = SquarePixelRepeat(page);
  if (page.width <= 0 || page.height <= 0 || g.width > kMaxPageDimension) return std::nullopt;
  g.imageRows = int64_t{page.height} * g.repeat;
  if (g.imageRows > kMaxPageDimension || g.width * g.imageRows > kMaxPagePixels) return std::nullopt;
  if (page.bytes_per_row < (g.width + 7) / 8) return std::nullopt;
  if (static_cast<int64_t>(page.bits.size()) < int64_t{page.height} * page.bytes_per_row) return std::nullopt;
  g.across = (g.width + 7) / 8;
  g.down = (g.imageRows + 7) / 8;
  g.wholeBytes = g.width / 8;
  g.edgeBits = static_cast<int>(g.width % 8);
  return g;
}

}  // namespace tamarind
