// The one measure of a page every output, the recogniser, the preview and
// the reader use: rows repeated for square pixels, the size limits at their
// edges, and whether a bitmap holds its rows.
#include "codec/fax/page_geometry.h"

#include <gtest/gtest.h>

namespace tamarind {
namespace {

constexpr uint16_t kAcross = 200;

TEST(PageGeometry, RowRepeatAndLimitsAtTheirEdges) {
  struct Case {
    int64_t width;
    int64_t rows;
    uint16_t lines;  // per inch
    int64_t repeat;
    bool fits;
  } cases[] = {
      {1728, 1145, 100, 2, true},  {1728, 2290, 200, 1, true},   {1728, 4580, 400, 1, true},
      {1, 32750, 100, 2, true},    {1, 32751, 100, 2, false},  // 65500 rows after repetition
      {1, 65500, 200, 1, true},    {1, 65501, 400, 1, false},    {65500, 1, 200, 1, true},
      {65501, 1, 200, 1, false},                                  // 65500 columns
      {2049, 32750, 100, 2, true}, {2050, 32750, 100, 2, false},  // 2^27 pixels: 2049 x 65500 is below
      {6912, 9709, 100, 2, true},  {6912, 9710, 100, 2, false},   // 6912 x 19418 <= 2^27 < 6912 x 19420
      {6912, 19418, 400, 1, true}, {6912, 19419, 400, 1, false}, {0, 0, 200, 1, true},
      {-1, 5, 200, 1, false},   // empty fits; negative never
      {1728, 100, 0, 1, true},  // no resolution: rows as they are
  };
  for (const Case& c : cases) {
    const PageGeometry page(c.width, c.rows, kAcross, c.lines);
    EXPECT_EQ(page.RowRepeat(), c.repeat) << c.width << " x " << c.rows << " at " << c.lines;
    EXPECT_EQ(page.OutputHeight(), c.rows * c.repeat) << c.width << " x " << c.rows;
    EXPECT_EQ(page.FitsOutputLimits(), c.fits) << c.width << " x " << c.rows << " at " << c.lines;
  }
}

// The reader stops one row past MostRowsThatFit: that many rows must fit
// and one more must not, for every width a fax can have.
TEST(PageGeometry, MostRowsThatFitIsTheEdgeForEveryWidth) {
  for (uint16_t lines : {100, 200, 400}) {
    for (int64_t width = 1; width <= 6912; ++width) {
      const int64_t most = PageGeometry(width, 0, kAcross, lines).MostRowsThatFit();
      ASSERT_TRUE(PageGeometry(width, most, kAcross, lines).FitsOutputLimits()) << width << " at " << lines;
      ASSERT_FALSE(PageGeometry(width, most + 1, kAcross, lines).FitsOutputLimits()) << width << " at " << lines;
    }
  }
  EXPECT_EQ(PageGeometry(65501, 0, kAcross, 200).MostRowsThatFit(), 0);
}

TEST(PageGeometry, SuperfineRowsAreHalfASquarePixelInAPicture) {
  EXPECT_DOUBLE_EQ(PageGeometry(1728, 10, kAcross, 100).SquareRowHeight(), 2.0);
  EXPECT_DOUBLE_EQ(PageGeometry(1728, 10, kAcross, 400).SquareRowHeight(), 0.5);
}

TEST(HoldsRows, RowsMustBeWideEnoughAndAllThere) {
  FaxPage page;
  page.width = 17;
  page.height = 3;
  page.bytes_per_row = 3;
  page.bits.assign(9, 0xFF);
  EXPECT_TRUE(HoldsRows(page));
  page.bits.pop_back();
  EXPECT_FALSE(HoldsRows(page)) << "the last row is short";
  page.bits.assign(9, 0xFF);
  page.bytes_per_row = 2;  // 16 pixels for a 17-pixel row
  EXPECT_FALSE(HoldsRows(page));
  page.bytes_per_row = -3;
  EXPECT_FALSE(HoldsRows(page));
  EXPECT_TRUE(HoldsRows(FaxPage{}));
}

}  // namespace
}  // namespace tamarind
