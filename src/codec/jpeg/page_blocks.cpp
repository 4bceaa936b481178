#include "codec/jpeg/page_blocks.h"

#include "codec/fax/page_geometry.h"

namespace tamarind {

std::optional<BlockGeometry> MeasureBlocks(const FaxPage& page) {
  const PageGeometry measured(page);
  if (measured.Empty() || !measured.FitsOutputLimits() || !HoldsRows(page)) return std::nullopt;
  BlockGeometry g;
  g.width = measured.Width();
  g.repeat = measured.RowRepeat();
  g.imageRows = measured.OutputHeight();
  g.across = (g.width + 7) / 8;
  g.down = (g.imageRows + 7) / 8;
  g.wholeBytes = g.width / 8;
  g.edgeBits = static_cast<int>(g.width % 8);
  return g;
}

}  // namespace tamarind
