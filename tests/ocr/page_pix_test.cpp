#include "ocr/page_pix.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/fax/page_geometry.h"
#include "codec/fax/page_resolution.h"
#include "support/page_images.h"

namespace tamarind::ocr {
namespace {

bool IsWhite(const FaxPage& page, int x, int y) { return (page.Row(y)[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1; }

// A random page whose rows all differ: each starts with its number.
FaxPage NumberedRowsPage(int width, int height) {
  FaxPage page = test::RandomPage(width, height, 100, 7);
  for (int y = 0; y < height; ++y) {
    page.bits[static_cast<size_t>(y) * page.bytes_per_row] = static_cast<uint8_t>(y);
    page.bits[static_cast<size_t>(y) * page.bytes_per_row + 1] = static_cast<uint8_t>(y >> 8);
  }
  return page;
}

// The page row that image row |y| of |pix| shows, found by its pixels
// (Leptonica's own accessors: a Pix has 1 = black); -1 when none does.
int ShownRow(const Pix& pix, const FaxPage& page, int y) {
  for (int page_y = 0; page_y < page.height; ++page_y) {
    bool same = true;
    for (int x = 0; x < page.width && same; ++x) {
      l_uint32 black = 0;
      pixGetPixel(const_cast<Pix*>(&pix), x, y, &black);
      same = (black != 0) != IsWhite(page, x, page_y);
    }
    if (same) return page_y;
  }
  return -1;
}

struct PixCase {
  int width;
  RowScale rows;
};

std::string CaseName(const ::testing::TestParamInfo<PixCase>& info) {
  return std::to_string(info.param.width) + "w" + std::to_string(info.param.rows.page_rows) + "to" +
         std::to_string(info.param.rows.image_rows);
}

// Repeated rows as every output shows them, and rows stretched to square
// pixels: a fine page (196 to 204 rows an inch, 49 to 51) and a standard
// one (98 to 204, 49 to 102).
const PixCase kCases[] = {{1728, RowScale::Repeat(23, 1)},
                          {1731, RowScale::Repeat(23, 2)},
                          {2053, RowScale{49, 51}},
                          {16, RowScale{49, 102}},
                          {16, RowScale::Repeat(7, 3)}};

class PagePixTest : public ::testing::TestWithParam<PixCase> {};

// Every image row shows a page row whole; the page rows come in order,
// none left out, each repeated as often as the next give or take one; and
// the bits past the width, random in the page as in a decoded one, are
// cleared as Leptonica wants. That the image's pixels and the boxes found
// in it map back to the page rows RowScale names, tests/fuzz/fuzz_ocr_parts
// checks on any page and scale.
TEST_P(PagePixTest, ShowsEveryPageRowInOrderEvenlyRepeated) {
  const auto [width, rows] = GetParam();
  const FaxPage page = NumberedRowsPage(width, rows.page_rows);
  PixPtr pix = PixOfPage(page, rows);
  ASSERT_TRUE(pix);
  ASSERT_EQ(pixGetWidth(pix.get()), width);
  ASSERT_EQ(pixGetHeight(pix.get()), rows.image_rows);
  ASSERT_EQ(pixGetDepth(pix.get()), 1);

  std::vector<int> shown_times(static_cast<size_t>(page.height), 0);
  int previous = 0;
  for (int y = 0; y < rows.image_rows; ++y) {
    const int page_y = ShownRow(*pix, page, y);
    ASSERT_GE(page_y, 0) << "image row " << y << " is no page row";
    ASSERT_TRUE(page_y == previous || page_y == previous + 1) << "image row " << y << " shows page row " << page_y;
    ++shown_times[static_cast<size_t>(page_y)];
    previous = page_y;
  }
  EXPECT_EQ(previous, page.height - 1);
  const auto [least, most] = std::minmax_element(shown_times.begin(), shown_times.end());
  EXPECT_LE(*most - *least, 1);

  PixPtr cleared(pixCopy(nullptr, pix.get()));
  pixSetPadBits(cleared.get(), 0);
  const size_t bytes = static_cast<size_t>(pixGetWpl(pix.get())) * static_cast<size_t>(pixGetHeight(pix.get())) * 4;
  EXPECT_EQ(std::memcmp(pixGetData(pix.get()), pixGetData(cleared.get()), bytes), 0) << "bits past the width are set";
}

INSTANTIATE_TEST_SUITE_P(Scales, PagePixTest, ::testing::ValuesIn(kCases), CaseName);

// A page is read with square pixels, as many rows an inch as it has
// pixels across, where that adds rows and fits the budget; otherwise its
// rows as every output shows them. Either way every page row is shown and
// the image never goes past the budget.
TEST(RecognisedRowsTest, SquaresThePixelsWithinTheBudget) {
  constexpr int64_t kAny = kMaxRecognisedPixels;
  struct Case {
    int32_t width, rows;
    uint16_t y_resolution;
    int64_t budget;
    bool squared;
  } cases[] = {
      {1728, 2286, 200, kAny, true},      {1728, 1143, 100, kAny, true},
      {2592, 2286, 200, kAny, true},      {3456, 1143, 100, kAny, true},
      {1728, 4572, 400, kAny, false},     {1728, 100, 200, 1728 * 100, false},
      {1728, 100, 200, 1728 * 104, true}, {1728, 16000, 100, int64_t{1} << 40, false},  // 32,000 rows, squared 33,306
  };
  for (const Case& c : cases) {
    const FaxPage page = test::SolidPage(c.width, c.rows, c.y_resolution, true);
    const RowScale rows = RecognisedRows(page, c.budget);
    const PageGeometry shown(page);
    const PageResolution resolution = TruePageResolution(page);
    const double square_rows = static_cast<double>(c.rows) * resolution.x_dpi / resolution.y_dpi;
    const std::string name = std::to_string(c.width) + " x " + std::to_string(c.rows) + " at " +
                             std::to_string(c.y_resolution) + " within " + std::to_string(c.budget);
    EXPECT_EQ(rows.page_rows, c.rows) << name;
    EXPECT_GE(rows.image_rows, shown.OutputHeight()) << name;
    EXPECT_LE(int64_t{c.width} * rows.image_rows, std::max(c.budget, c.width * shown.OutputHeight())) << name;
    EXPECT_LE(rows.image_rows, kMaxRecognisedDimension) << name;
    if (c.squared) EXPECT_NEAR(rows.image_rows, square_rows, 0.5) << name;
    else EXPECT_EQ(rows.image_rows, shown.OutputHeight()) << name;
  }
}

}  // namespace
}  // namespace tamarind::ocr
