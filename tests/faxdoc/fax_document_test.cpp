#include "faxdoc/fax_document.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using test::MatchesReference;
using test::RealPage;
using test::RealPageNamed;
using test::ScopedTempDir;
using tools::WinFaxPageLayout;

WinFaxPageLayout LayoutFor(const RealPage& real, uint8_t resolution_code) {
  WinFaxPageLayout pageLayout = test::WinFaxPageOf(real);
  pageLayout.resolution_code = resolution_code;
  return pageLayout;
}

class FaxDocumentTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<WinFaxPageLayout>& pages) {
    test::WriteFileBytes(path_, tools::BuildWinFaxFile(pages));
    return path_;
  }

  ScopedTempDir dir_;
  std::string path_ = dir_.File("fax.fxd");
};

// The whole road from file to bitmap, checked against independent decoders:
// every coding, both standard resolutions, a wide page, in any order.
TEST_F(FaxDocumentTest, MultiPageFileDecodesToTheReferenceBitmaps) {
  const RealPage* reals[] = {&RealPageNamed("text-standard-g3"), &RealPageNamed("text-fine-g4"),
                             &RealPageNamed("halftone-g3"), &RealPageNamed("wide-g4"),
                             &RealPageNamed("text-fine-g3-align8")};
  const uint8_t resolution_codes[] = {0, 1, 2, 255, 1};
  const uint16_t y_dpi[] = {100, 200, 400, 400, 200};
  std::vector<WinFaxPageLayout> layouts;
  for (size_t i = 0; i < std::size(reals); ++i) layouts.push_back(LayoutFor(*reals[i], resolution_codes[i]));
  layouts[0].text = "First \xe9";
  layouts[3].text = "Fourth";

  FaxDocument doc;
  ASSERT_EQ(doc.Load(Write(layouts), kWinFaxFormat), 0);
  ASSERT_TRUE(doc.IsLoaded());
  ASSERT_EQ(doc.PageCount(), std::size(reals));
  EXPECT_EQ(doc.HeaderText(), "First \u00e9");
  EXPECT_EQ(doc.PageHeaderText(3), "Fourth");
  // Load leaves page 0 decoded; after it, pages come in any order.
  bool loaded_page = true;
  for (int index : {0, 1, 2, 3, 4, 2, 0}) {
    SCOPED_TRACE(reals[index]->name);
    if (!loaded_page) {
      EXPECT_EQ(doc.DecodePage(kWinFaxFormat, index), 0);
    }
    loaded_page = false;
    const FaxPage& page = doc.Page();
    EXPECT_TRUE(MatchesReference(reals[index]->reference, page));
    EXPECT_EQ(page.width, reals[index]->width);
    EXPECT_EQ(page.bytes_per_row, (reals[index]->width + 7) / 8);
    EXPECT_EQ(page.coding, reals[index]->coding == test::PageCoding::kGroup4 ? 7 : 5);
    EXPECT_EQ(page.x_resolution, 200);
    EXPECT_EQ(page.y_resolution, y_dpi[index]);
    EXPECT_EQ(page.resolution_unit, 2);
  }
}

TEST_F(FaxDocumentTest, AnyNonZeroCodingFlagMeansGroup4) {
  const RealPage& g4 = RealPageNamed("text-standard-g4");
  const RealPage& g3 = RealPageNamed("text-standard-g3");
  WinFaxPageLayout flag255 = LayoutFor(g4, 1);
  flag255.coding_flag = 255;
  WinFaxPageLayout flag1 = LayoutFor(g4, 1);
  flag1.coding_flag = 1;
  WinFaxPageLayout flag0 = LayoutFor(g3, 1);
  flag0.coding_flag = 0;
  FaxDocument doc;
  ASSERT_EQ(doc.Load(Write({flag255, flag1, flag0}), kWinFaxFormat), 0);
  ASSERT_EQ(doc.PageCount(), 3);
  for (int index : {0, 1, 2}) {
    doc.DecodePage(kWinFaxFormat, index);
    EXPECT_TRUE(MatchesReference(index < 2 ? g4.reference : g3.reference, doc.Page())) << index;
    EXPECT_EQ(doc.Page().coding, index < 2 ? 7 : 5) << index;
  }
}

TEST_F(FaxDocumentTest, HeaderGeometryBoundsThePage) {
  const RealPage& real = RealPageNamed("text-standard-g3");
  WinFaxPageLayout defaults = LayoutFor(real, 1);
  defaults.width = 0;   // read as 1728
  defaults.length = 0;  // room for 3432 lines
  WinFaxPageLayout short_page = LayoutFor(real, 1);
  short_page.length = 100;
  FaxDocument doc;
  ASSERT_EQ(doc.Load(Write({defaults, short_page}), kWinFaxFormat), 0);
  EXPECT_EQ(doc.Page().width, 1728);
  EXPECT_TRUE(MatchesReference(real.reference, doc.Page()));

  doc.DecodePage(kWinFaxFormat, 1);
  EXPECT_EQ(doc.Page().height, 100);
  for (int32_t y = 0; y < 100; ++y) ASSERT_TRUE(test::SameRow(real.reference, y, doc.Page(), y)) << y;
}

TEST_F(FaxDocumentTest, FilesThatAreNoFaxDoNotLoad) {
  FaxDocument missing;
  EXPECT_EQ(missing.Load(dir_.File("missing.fxd"), kWinFaxFormat), -1);
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_EQ(missing.PageCount(), 0);

  test::WriteFileBytes(path_, {});
  FaxDocument empty;
  EXPECT_EQ(empty.Load(path_, kWinFaxFormat), 0);
  EXPECT_EQ(empty.PageCount(), 0);
  EXPECT_FALSE(empty.IsLoaded());
  EXPECT_EQ(empty.Page().height, 0);

  // A page 0 without data has a page count but no rows.
  WinFaxPageLayout no_data;
  WinFaxPageLayout later = LayoutFor(RealPageNamed("text-standard-g3"), 0);
  FaxDocument blank;
  EXPECT_EQ(blank.Load(Write({no_data, later}), kWinFaxFormat), 0);
  EXPECT_EQ(blank.PageCount(), 2);
  EXPECT_FALSE(blank.IsLoaded());
  EXPECT_EQ(blank.DecodePage(kWinFaxFormat, 1), 0);
  EXPECT_GT(blank.Page().height, 0);

  // No page beyond the count, and no reader for other formats.
  EXPECT_EQ(blank.DecodePage(kWinFaxFormat, 2), -1);
  EXPECT_EQ(blank.Page().height, 0);
  EXPECT_EQ(blank.DecodePage(kWinFaxFormat, -1), -1);
  FaxDocument tiff;
  EXPECT_EQ(tiff.Load(path_, 16), -1);
  EXPECT_EQ(tiff.PageCount(), 0);
}

TEST_F(FaxDocumentTest, DamagedPagesStillComeBackWithTheRowsDecoded) {
  const RealPage& real = RealPageNamed("text-fine-g3");
  WinFaxPageLayout good = LayoutFor(real, 1);
  WinFaxPageLayout truncated = good;
  // The second page ends the file half-way; its data_length still claims
  // the whole page, so the reader pads it with zeros.
  std::vector<uint8_t> file = tools::BuildWinFaxFile(std::vector{good, truncated});
  file.resize(file.size() - real.coded.size() / 2);
  test::WriteFileBytes(path_, file);

  FaxDocument doc;
  ASSERT_EQ(doc.Load(path_, kWinFaxFormat), 0);
  ASSERT_EQ(doc.PageCount(), 2);
  EXPECT_EQ(doc.DecodePage(kWinFaxFormat, 1), 0);
  const FaxPage& page = doc.Page();
  EXPECT_GT(page.height, 100);
  EXPECT_LT(page.height, real.reference.height);
  for (int32_t y = 0; y < page.height - 1; ++y) ASSERT_TRUE(test::SameRow(real.reference, y, page, y)) << y;
}

// A page beyond the output limits fails whatever its height, so the reader
// stops one row past them instead of decoding (and allocating) the rest.
TEST_F(FaxDocumentTest, DecodingStopsOneRowPastTheLargestPageTheOutputTakes) {
  struct Case {
    uint16_t width, lines;
    uint8_t resolution_code;
    int32_t height;
  };
  const Case cases[] = {
      {2048, 65500, 1, 65500},  // 134,144,000 pixels: the largest legal page
      {65500, 65535, 1, 2050},  // 2^27 / 65500 rows, and one more
      {65500, 65535, 0, 1025},  // rows count twice at 100 dpi
      {65535, 65535, 1, 1},     // too wide for any row: one shows it
      {4096, 20000, 0, 16385},  // one row over 2^27 pixels after doubling
      {1728, 65535, 0, 32751},  // one row over 65500 rows after doubling
  };
  for (const Case& c : cases) {
    FaxDocument document;
    document.Load(Write({test::WhiteRowsPage(c.width, c.lines, c.resolution_code)}), kWinFaxFormat);
    EXPECT_EQ(document.Page().height, c.height) << c.width << " x " << c.lines;
    EXPECT_EQ(document.Page().width, c.width);
  }
}

}  // namespace
}  // namespace tamarind
