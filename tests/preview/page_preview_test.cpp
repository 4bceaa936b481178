#include "preview/page_preview.h"

#include <cmath>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "faxdoc/fax_document.h"
#include "support/fax_files.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

// The page as a raw PBM (1 = black), for netpbm.
std::string EncodePbm(const FaxPage& page) {
  std::string out = "P4\n" + std::to_string(page.width) + " " + std::to_string(page.height) + "\n";
  for (int32_t y = 0; y < page.height; ++y)
    for (uint8_t bits : page.Row(y)) out.push_back(static_cast<char>(~bits));
  return out;
}

// The independent picture: netpbm's pixel mixing (area averaging of the
// samples) of the decoded page to the same size.
test::GreyImage PamscaleOf(const FaxPage& page, int width, int height, const test::ScopedTempDir& dir) {
  test::WriteFileText(dir.File("page.pbm"), EncodePbm(page));
  test::CommandResult scaled =
      test::RunCommand("pamscale -linear -xsize " + std::to_string(width) + " -ysize " + std::to_string(height) + " " +
                       test::ShellQuote(dir.File("page.pbm")) + " 2>/dev/null");
  EXPECT_EQ(scaled.exitCode, 0);
  return test::DecodePgm(scaled.output);
}

// Standard rows count twice and superfine rows half, at full size (the box
// holds the whole page) and scaled down to a thumbnail.
class PagePreview : public ::testing::TestWithParam<std::tuple<const char*, int>> {};

TEST_P(PagePreview, SquarePixelsAveragedAsNetpbmScalesThePage) {
  auto [sample, box] = GetParam();
  const std::string path = test::SourceDir() + "/samples/" + sample;
  FaxDocument document;
  ASSERT_EQ(document.Load(path, kWinFaxFormat), 0);
  const FaxPage& page = document.Page();
  platform::Expected<GreyPicture> picture = RenderFirstPage(path, box, box);
  ASSERT_TRUE(picture.ok()) << picture.reason();

  const double squareHeight = page.height * 200.0 / page.y_resolution;
  const double scale = std::min({1.0, box / double(page.width), box / squareHeight});
  EXPECT_EQ(picture->width, std::lround(page.width * scale));
  EXPECT_EQ(picture->height, std::lround(squareHeight * scale));
  EXPECT_LE(std::max(picture->width, picture->height), box);

  test::ScopedTempDir dir;
  test::GreyImage expected = PamscaleOf(page, picture->width, picture->height, dir);
  ASSERT_EQ(expected.width, picture->width);
  ASSERT_EQ(expected.height, picture->height);
  int worst = 0;
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width; ++x) worst = std::max(worst, std::abs(picture->At(x, y) - expected.At(x, y)));
  EXPECT_LE(worst, 1);
}

INSTANTIATE_TEST_SUITE_P(Samples, PagePreview,
                         ::testing::Combine(::testing::Values("standard-g3.fxd", "fine-g4.fxm", "superfine-g4.fxd"),
                                            ::testing::Values(160, 8000)));

struct Refusal {
  const char* name;
  std::vector<tools::WinFaxPageLayout> pages;
  const char* reason;
};

// Each file is refused with its reason, without decoding a page it cannot
// show; how fast that is, bench_page_preview shows. A pipe or a device is
// refused as the thumbnailer meets them (cli's thumbnail_test).
TEST(PagePreviewRefuses, WhatItCannotShow) {
  test::ScopedTempDir dir;
  tools::WinFaxPageLayout empty;  // no coded data: no row at all
  const Refusal cases[] = {
      {"text.fxd", {}, "not a WinFax file"},
      {"page.pbm", {test::WinFaxPageOf(test::RealPageNamed("text-fine-g4"))}, "not a WinFax file"},
      {"empty.fxd", {empty}, "holds no image"},
      {"wide.fxd", {test::WhiteRowsPage(65535, 100, 1)}, "too large"},
      {"long.fxd", {test::WhiteRowsPage(4096, 65535, 0)}, "too large"},
  };
  for (const Refusal& refusal : cases) {
    const std::string path = dir.File(refusal.name);
    if (refusal.pages.empty()) test::WriteFileText(path, "plain text, no fax");
    else ASSERT_TRUE(tools::WriteWinFaxFile(path, refusal.pages));
    platform::Expected<GreyPicture> picture = RenderFirstPage(path, 256, 256);
    EXPECT_FALSE(picture.ok()) << refusal.name;
    EXPECT_THAT(picture.reason(), HasSubstr(refusal.reason)) << refusal.name;
  }
  EXPECT_FALSE(RenderFirstPage(dir.File("missing.fxd"), 256, 256).ok());
}

}  // namespace
}  // namespace tamarind
