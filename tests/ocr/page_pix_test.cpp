#include "ocr/page_pix.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstring>

#include "support/page_images.h"

namespace tamarind::ocr {
namespace {

bool IsWhite(const FaxPage& page, int x, int y) { return (page.Row(y)[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1; }

struct PixCase {
  int width;
  int row_repeat;
};

class PagePixTest : public ::testing::TestWithParam<PixCase> {};

// Leptonica's own accessors are the oracle: every pixel with its colour
// turned (a Pix has 1 = black), each row repeated, and the bits past the
// width, random in the page as in a decoded one, cleared as Leptonica wants.
TEST_P(PagePixTest, HoldsThePagePixels) {
  const auto [width, row_repeat] = GetParam();
  const FaxPage page = test::RandomPage(width, 23, 100, 7);
  PixPtr pix = PixOfPage(page, row_repeat);
  ASSERT_TRUE(pix);
  ASSERT_EQ(pixGetWidth(pix.get()), width);
  ASSERT_EQ(pixGetHeight(pix.get()), page.height * row_repeat);
  ASSERT_EQ(pixGetDepth(pix.get()), 1);

  int wrong = 0;
  for (int y = 0; y < page.height * row_repeat; ++y)
    for (int x = 0; x < width; ++x) {
      l_uint32 black = 0;
      pixGetPixel(pix.get(), x, y, &black);
      wrong += (black != 0) == IsWhite(page, x, y / row_repeat);
    }
  EXPECT_EQ(wrong, 0);

  PixPtr cleared(pixCopy(nullptr, pix.get()));
  pixSetPadBits(cleared.get(), 0);
  const size_t bytes = static_cast<size_t>(pixGetWpl(pix.get())) * static_cast<size_t>(pixGetHeight(pix.get())) * 4;
  EXPECT_EQ(std::memcmp(pixGetData(pix.get()), pixGetData(cleared.get()), bytes), 0) << "bits past the width are set";
}

INSTANTIATE_TEST_SUITE_P(Widths, PagePixTest,
                         ::testing::Values(PixCase{1728, 1}, PixCase{1731, 2}, PixCase{2053, 1}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.row_repeat);
                         });

// Every box on the Pix, as made and turned, against the page pixels its
// pixels come from: the page box holds them all and no more, so a box that
// ends inside a page row's repeats keeps that row.
TEST(BoxOnPageTest, IsTheSmallestBoxHoldingTheSourcesOfTheBoxPixels) {
  for (const int row_repeat : {1, 2, 3}) {
    const FaxPage page = test::RandomPage(5, 4, 100, 3);
    PixPtr pix = PixOfPage(page, row_repeat);
    ASSERT_TRUE(pix);
    const int32_t width = page.width, height = page.height * row_repeat;
    for (const bool turned : {false, true}) {
      PixPtr turned_pix = turned ? Rotated180(*pix) : nullptr;
      const Pix& recognised = turned ? *turned_pix : *pix;
      for (int32_t top = 0; top < height; ++top)
        for (int32_t bottom = top + 1; bottom <= height; ++bottom)
          for (int32_t left = 0; left < width; ++left)
            for (int32_t right = left + 1; right <= width; ++right) {
              PixelBox sources{width, page.height, 0, 0};
              for (int32_t y = top; y < bottom; ++y)
                for (int32_t x = left; x < right; ++x) {
                  const int32_t page_x = turned ? width - 1 - x : x;
                  const int32_t page_y = (turned ? height - 1 - y : y) / row_repeat;
                  sources = {std::min(sources.left, page_x), std::min(sources.top, page_y),
                             std::max(sources.right, page_x + 1), std::max(sources.bottom, page_y + 1)};
                }
              const PixelBox mapped = BoxOnPage(recognised, {left, top, right, bottom}, row_repeat, turned);
              ASSERT_TRUE(mapped.left == sources.left && mapped.top == sources.top && mapped.right == sources.right &&
                          mapped.bottom == sources.bottom)
                  << "repeat " << row_repeat << (turned ? " turned" : "") << " box " << left << "," << top << "-"
                  << right << "," << bottom;
            }
    }
  }
}

}  // namespace
}  // namespace tamarind::ocr
