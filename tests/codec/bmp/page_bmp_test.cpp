#include "codec/bmp/page_bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::GreyImage;

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }

// Everything the file holds, read through its descriptor (it has no name).
std::vector<uint8_t> Contents(const platform::PrivateTempFile& file) {
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(file.Size(), 0)));
  EXPECT_EQ(file.ReadAt(0, bytes).value_or(-1), static_cast<int64_t>(bytes.size()));
  return bytes;
}

class PageBmpTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = std::move(*platform::PrivateTempFile::Create(dir_.Path(), "page", ".bmp")); }

  std::vector<uint8_t> Write(const FaxPage& page, int expectedResult = 0) {
    EXPECT_EQ(WritePageBmp(page, *file_), expectedResult);
    return Contents(*file_);
  }

  test::ScopedTempDir dir_;
  std::unique_ptr<platform::PrivateTempFile> file_;
};

// A 10-pixel page of three rows; the last byte of row 0 carries bits past
// the width that must land in the row padding.
FaxPage SmallPage(uint16_t yResolution) {
  FaxPage page = test::SolidPage(10, 3, yResolution, true);
  page.bits = {0b10110000, 0b01110000, 0xFF, 0xFF, 0x00, 0x00};
  return page;
}

TEST_F(PageBmpTest, HeaderPaletteAndRowsFollowTheLayout) {
  struct Case {
    uint16_t yResolution;
    uint32_t repeat;
  };
  for (Case c : {Case{100, 2}, Case{200, 1}, Case{400, 1}, Case{0, 1}, Case{50, 4}}) {
    SCOPED_TRACE(c.yResolution);
    std::vector<uint8_t> bmp = Write(SmallPage(c.yResolution));
    const uint32_t stride = 12;
    const uint32_t rows = 3 * c.repeat;
    ASSERT_EQ(bmp.size(), 1078 + stride * rows);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Get32(bmp, 2), bmp.size());
    EXPECT_EQ(Get32(bmp, 6), 0u);
    EXPECT_EQ(Get32(bmp, 10), 1078u);
    EXPECT_EQ(Get32(bmp, 14), 40u);
    EXPECT_EQ(Get32(bmp, 18), 10u);
    EXPECT_EQ(Get32(bmp, 22), rows);
    EXPECT_EQ(Get16(bmp, 26), 1u);
    EXPECT_EQ(Get16(bmp, 28), 8u);
    for (size_t at : {30, 34, 38, 42, 50}) EXPECT_EQ(Get32(bmp, at), 0u) << at;
    EXPECT_EQ(Get32(bmp, 46), 256u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(Get32(bmp, 54 + 4 * i), i | i << 8 | i << 16) << i;

    const std::vector<uint8_t> top = {255, 0, 255, 255, 0, 0, 0, 0, 0, 255, 255, 255};
    const std::vector<uint8_t> middle(stride, 255);
    const std::vector<uint8_t> bottom(stride, 0);
    std::vector<uint8_t> expected;
    for (const auto* row : {&bottom, &middle, &top}) {
      for (uint32_t k = 0; k < c.repeat; ++k) expected.insert(expected.end(), row->begin(), row->end());
    }
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 1078, bmp.end()), expected);
  }
}

// Rows of long one-colour runs broken by mixed bytes, as text pages have:
// runs that start and end at every byte offset, and rows whose last run
// reaches into the partial byte at the end.
FaxPage RunsPage(int width) {
  FaxPage page = test::RandomPage(width, 40, 100, static_cast<uint32_t>(width));
  const size_t rowBytes = page.bytes_per_row;
  for (size_t y = 0; y < 40; ++y)
    for (size_t x = y % 9; x < rowBytes; x += 23)
      std::fill_n(&page.bits[y * rowBytes + x], std::min<size_t>(17, rowBytes - x), y % 2 ? 0xFF : 0x00);
  return page;
}

// bmptopnm reads rows at the stride the header implies and shows the rows
// upright: a writer using any other stride shows up as sheared rows for the
// odd widths, one that stores rows top first as a page upside down (the
// black top-left pixel).
TEST_F(PageBmpTest, PagesReadBackPixelForPixelThroughAnIndependentReader) {
  std::vector<FaxPage> pages = {test::SolidPage(1728, 50, 100, true), test::SolidPage(1728, 50, 100, false),
                                test::SolidPage(1728, 50, 200, true)};
  pages.back().bits[0] = 0x7F;  // only the top-left pixel is black
  for (int width : {1729, 1731}) pages.push_back(test::RandomPage(width, 40, 100, static_cast<uint32_t>(width)));
  for (int width : {1733, 1728, 70, 7}) pages.push_back(RunsPage(width));
  for (const FaxPage& page : pages) {
    SCOPED_TRACE(page.width);
    std::vector<uint8_t> bmp = Write(page);
    const GreyImage expected = test::SquareSamples(page);
    EXPECT_EQ(bmp.size(), 1078u + (page.width + 3) / 4 * 4 * expected.height);
    test::WriteFileBytes(dir_.File("copy.bmp"), bmp);
    test::CommandResult pgm =
        test::RunCommand("bmptopnm " + test::ShellQuote(dir_.File("copy.bmp")) + " 2>/dev/null | ppmtopgm");
    ASSERT_EQ(pgm.exitCode, 0);
    GreyImage decoded = test::DecodePgm(pgm.output);
    ASSERT_EQ(decoded.width, expected.width);
    ASSERT_EQ(decoded.height, expected.height);
    EXPECT_TRUE(decoded.samples == expected.samples);
  }
}

TEST_F(PageBmpTest, EmptyPageGivesAHeaderOnly) {
  FaxPage page = test::SolidPage(1728, 0, 100, true);
  std::vector<uint8_t> bmp = Write(page);
  ASSERT_EQ(bmp.size(), 1078u);
  EXPECT_EQ(Get32(bmp, 2), 1078u);
  EXPECT_EQ(Get32(bmp, 22), 0u);
}

// The same file carries every page of a run: a smaller page must not keep
// the tail of a larger one.
TEST_F(PageBmpTest, EachPageReplacesTheFileContent) {
  Write(test::RandomPage(1728, 300, 100, 1));
  std::vector<uint8_t> bmp = Write(test::SolidPage(16, 2, 200, false));
  EXPECT_EQ(bmp.size(), 1078u + 16 * 2);
}

// Pages are stored through a map of the file where the system allows it,
// else by write calls; both give the same file, page after page, also when
// the file shrinks and grows again under the map.
TEST_F(PageBmpTest, MappedAndWrittenFilesAreTheSame) {
  auto made = platform::PrivateTempFile::Create(dir_.Path(), "written", ".bmp");
  ASSERT_TRUE(made);
  auto& written = *made;
  written->RefuseMapping();
  const FaxPage pages[] = {test::RandomPage(1728, 300, 100, 1), test::RandomPage(37, 5, 200, 2),
                           test::RandomPage(2048, 400, 200, 3), test::SolidPage(1728, 0, 100, true),
                           test::RandomPage(1728, 301, 100, 4)};
  for (const FaxPage& page : pages) {
    std::vector<uint8_t> mapped = Write(page);
    ASSERT_EQ(WritePageBmp(page, *written), 0);
    EXPECT_TRUE(mapped == Contents(*written)) << page.width << " x " << page.height;
    EXPECT_EQ(file_->Mapped().size(), mapped.size());
    EXPECT_TRUE(written->Mapped().empty());
  }
}

TEST_F(PageBmpTest, OversizedOrInconsistentPagesFailWithoutTouchingTheFile) {
  Write(test::SolidPage(8, 1, 200, true));
  const std::vector<uint8_t> before = Contents(*file_);

  std::vector<FaxPage> refused;
  refused.push_back(test::SolidPage(65501, 1, 200, true));     // too wide
  refused.push_back(test::SolidPage(8, 32751, 100, true));     // 65502 rows once doubled
  refused.push_back(test::SolidPage(10000, 6800, 100, true));  // 136 million pixels once doubled
  FaxPage shortBitmap = test::SolidPage(1728, 10, 200, true);
  shortBitmap.bits.resize(shortBitmap.bits.size() - 1);
  refused.push_back(shortBitmap);
  FaxPage narrowRows = test::SolidPage(1728, 10, 200, true);
  narrowRows.bytes_per_row = 100;
  refused.push_back(narrowRows);
  FaxPage negative = test::SolidPage(8, 1, 200, true);
  negative.height = -1;
  refused.push_back(negative);

  for (const FaxPage& page : refused) {
    SCOPED_TRACE(std::to_string(page.width) + "x" + std::to_string(page.height));
    EXPECT_EQ(Write(page, -4), before);
  }
  // The limit is after repetition: the same page at fine resolution fits.
  EXPECT_EQ(WritePageBmp(test::SolidPage(8, 32751, 200, true), *file_), 0);
}

}  // namespace
}  // namespace tamarind
