// Peak memory of the real program on the largest pages: at most 4 bytes per
// page pixel (after row repetition) plus 48 MB (the program and its
// libraries, Qt and Tesseract among them, take about 26 MB before any
// page), and a page past the limit fails before it costs anything.
#include <unistd.h>

#include <gtest/gtest.h>

#include "child_process.h"
#include "hostile_corpus.h"
#include "jpeg_check.h"
#include "support/document_pages.h"
#include "support/fax_files.h"
#include "support/page_images.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

constexpr long kWorkerAllowanceKb = 48 * 1024;

long BoundKb(int64_t pixels) { return static_cast<long>(4 * pixels / 1024) + kWorkerAllowanceKb; }

// The rendered document page, |width| wide (padded with white) and tiled
// down to |rows| rows, as a raw PBM (1 = black).
std::string TiledDocument(int width, int rows) {
  const FaxPage page = test::PageFromBitmap(test::DocumentPages()[0].standard, width, 200);
  std::string pbm = "P4\n" + std::to_string(width) + " " + std::to_string(rows) + "\n";
  const size_t rowBytes = static_cast<size_t>(page.bytes_per_row);
  pbm.reserve(pbm.size() + rowBytes * static_cast<size_t>(rows));
  for (int y = 0; y < rows; ++y) {
    for (uint8_t byte : page.Row(y % page.height)) pbm += static_cast<char>(~byte);
  }
  return pbm;
}

class MemoryBound : public ::testing::Test {
 protected:
  test::ChildResult Convert(const std::string& name, std::chrono::milliseconds limit = std::chrono::minutes(5)) {
    test::ChildOptions options;
    options.limit = limit;
    options.arguments = {"/f=" + dir.File(name), "/sf=" + dir.File("page.jpg"), "/log=" + dir.File("run.log")};
    options.environment = {"TMPDIR=" + dir.Path()};
    options.measureMemory = true;
    return test::RunTamarind(options);
  }

  test::ScopedTempDir dir;
};

TEST_F(MemoryBound, LargestLegalPageStaysWithinFourBytesPerPixel) {
  if (test::UnderSanitizer()) GTEST_SKIP() << "sanitizers keep memory of their own";
  // 2048 x 65500 fine rows: 134,144,000 pixels, just under 2^27, coded by
  // an independent encoder.
  constexpr int kWidth = 2048, kRows = 65500;
  test::WriteFileText(dir.File("page.pbm"), TiledDocument(kWidth, kRows));
  test::CommandResult coded = test::RunCommand("pbmtog3 -nofixedwidth " + test::ShellQuote(dir.File("page.pbm")));
  ASSERT_EQ(coded.exitCode, 0);
  tools::WinFaxPageLayout page;
  page.coded.assign(coded.output.begin(), coded.output.end());
  page.msb_first = true;
  page.width = kWidth;
  page.length = kRows;
  page.resolution_code = 1;
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("largest.fxd"), std::vector{page}));

  test::ChildResult run = Convert("largest.fxd");
  ASSERT_TRUE(run.exited && run.exitCode == 0) << run.output;
  test::JpegCheck jpeg = test::CheckJpegFile(dir.File("page.jpg"));
  EXPECT_TRUE(jpeg.complete) << jpeg.problem;
  EXPECT_EQ(jpeg.width, kWidth);
  EXPECT_EQ(jpeg.height, kRows);
  const int64_t pixels = int64_t{kWidth} * kRows;
  EXPECT_LE(run.peakRssKb, BoundKb(pixels));
  std::printf("largest page: %lld pixels, peak RSS %ld kB (bound %ld kB)\n", static_cast<long long>(pixels),
              run.peakRssKb, BoundKb(pixels));
}

// Pages past the size limit fail before they cost their size, and small
// files that claim gigabytes (sparse files whose headers claim data the file
// holds only as a hole) cost what their pages cost. The time limit only
// guards against a hang.
TEST_F(MemoryBound, PagesPastTheLimitAndClaimsOfGigabytesCostLittle) {
  constexpr uint32_t kShared = uint32_t{1} << 28;  // 256 MB
  // One page whose data_length is 2^31 - 129, in a sparse file of 2 GiB.
  tools::WinFaxPageLayout lone;
  lone.data_length = 0x7FFFFFFFu - 128;
  tools::WinFaxPageLayout vast = lone;  // the same, claiming the largest page
  vast.width = 65535;
  vast.length = 65535;
  // A real page, then eight headers one after the other that each claim the
  // same 256 MB region after them.
  std::vector<tools::WinFaxPageLayout> sharing = {test::WhiteRowsPage(1728, 64, 1)};
  for (int i = 0; i < 8; ++i) {
    tools::WinFaxPageLayout header;
    header.data_length = kShared;
    header.link_span = 128 - kShared;
    sharing.push_back(header);
  }
  const int64_t sharingSize = 128 + static_cast<int64_t>(sharing[0].coded.size()) + 128 + kShared;
  const std::string pastTheLimit = " - Error in preparing jpeg\n";
  struct Case {
    std::string name;
    std::vector<tools::WinFaxPageLayout> pages;
    int64_t size;      // sparse up to here; 0: as written
    std::string line;  // in the report
  } cases[] = {
      // 4096 x 16385 rows at 100 dpi: each row counts twice, 4096 pixels
      // over 2^27.
      {"over.fxd",
       {test::WhiteRowsPage(4096, 16385, 0)},
       0,
       "page.jpg : Failed : " + dir.File("over.fxd") + pastTheLimit},
      // 65535 x 65535: half a gigabyte of bitmap if decoded to the end.
      {"huge.fxd",
       {test::WhiteRowsPage(65535, 65535, 1)},
       0,
       "page.jpg : Failed : " + dir.File("huge.fxd") + pastTheLimit},
      {"lone.fxd", {lone}, int64_t{1} << 31, "Failed : " + dir.File("lone.fxd") + " - Not Fax"},
      {"vast.fxd", {vast}, int64_t{1} << 31, "Failed : " + dir.File("vast.fxd") + " - Not Fax"},
      {"sharing.fxd", sharing, sharingSize, "page 001 --> " + dir.File("page001.jpg") + " : Success !"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(tools::WriteWinFaxFile(dir.File(c.name), c.pages));
    if (c.size > 0) {
      ASSERT_EQ(truncate(dir.File(c.name).c_str(), c.size), 0);
    }
    test::ChildResult run = Convert(c.name, std::chrono::seconds(20));
    ASSERT_FALSE(run.timedOut) << c.name;
    ASSERT_TRUE(run.exited) << c.name;
    EXPECT_EQ(run.exitCode, 2) << c.name;
    EXPECT_NE(run.output.find(c.line), std::string::npos) << run.output;
    EXPECT_FALSE(test::FileExists(dir.File("page.jpg"))) << c.name;
    // Nothing like the page's own size: a bitmap just past the limit, once.
    if (!test::UnderSanitizer()) {
      EXPECT_LE(run.peakRssKb, 2 * kWorkerAllowanceKb) << c.name;
    }
    std::printf("%s: peak RSS %ld kB\n", c.name.c_str(), run.peakRssKb);
  }
}

}  // namespace
}  // namespace tamarind
