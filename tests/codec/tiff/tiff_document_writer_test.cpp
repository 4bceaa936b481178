// The multi-page TIFF read back by libtiff's own tools: every page's bitmap,
// coding, resolution and page number, and the document's metadata.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "codec/fax/page_resolution.h"
#include "codec/tiff/tiff_document_writer.h"
#include "support/archive_pages.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ArchivePage;
using test::ArchivePages;
using test::RunCommand;
using test::ScopedTempDir;
using test::ShellQuote;

// 2023-11-14 22:13:20 UTC, in a zone an hour and a half east of it.
constexpr platform::FileTime kModified{1'700'000'000, 0};
const char* const kZone = "TST-01:30";

class TiffDocumentWriterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", kZone, 1);
    tzset();
  }

  // Writes |pages| to |path|; the empty page stands for one that failed to
  // decode and must be refused without harm to the others.
  static void Write(const std::string& path, const std::vector<const FaxPage*>& pages, const std::string& title) {
    auto file = platform::AtomicOutputFile::Create(path);
    ASSERT_TRUE(file);
    TiffDocumentWriter writer(**file, {title, kModified});
    for (const FaxPage* page : pages) {
      platform::Status added = writer.AddPage(*page);
      EXPECT_EQ(added.ok(), page->height > 0) << added.reason();
    }
    platform::Status finished = writer.Finish();
    ASSERT_TRUE(finished.ok()) << finished.reason();
    ASSERT_TRUE((*file)->Commit().ok());
  }

  static std::vector<const FaxPage*> PagesWithAFailedOne() {
    static const FaxPage kFailed;
    std::vector<const FaxPage*> pages;
    for (const ArchivePage& page : ArchivePages()) {
      pages.push_back(&page.page);
      if (pages.size() == 1) pages.push_back(&kFailed);
    }
    return pages;
  }
};

TEST_F(TiffDocumentWriterTest, LibtiffReadsBackEveryPageWithItsResolutionAndNumber) {
  ScopedTempDir dir;
  const std::string tiff = dir.File("fax.tif");
  const std::string title = "Rechnung M\xC3\xA4rz.fxd";
  Write(tiff, PagesWithAFailedOne(), title);

  const std::string info = RunCommand("tiffinfo " + ShellQuote(tiff) + " 2>&1").output;
  std::vector<std::string> directories;
  const std::regex directoryStart("=== TIFF directory [0-9]+ ===");
  for (std::sregex_token_iterator it(info.begin(), info.end(), directoryStart, -1), end; it != end; ++it)
    directories.push_back(*it);
  directories.erase(directories.begin());  // what comes before the first
  const std::vector<ArchivePage>& pages = ArchivePages();
  ASSERT_EQ(directories.size(), pages.size()) << info;

  for (size_t n = 0; n < pages.size(); ++n) {
    SCOPED_TRACE(pages[n].label);
    const FaxPage& page = pages[n].page;
    const PageResolution resolution = TruePageResolution(page);
    const std::string& directory = directories[n];
    for (const std::string& field :
         {"Image Width: " + std::to_string(page.width) + " Image Length: " + std::to_string(page.height),
          "Resolution: " + std::to_string(resolution.x_dpi) + ", " + std::to_string(resolution.y_dpi) +
              " pixels/inch",
          std::string("Bits/Sample: 1"), std::string("Compression Scheme: CCITT Group 4"),
          std::string("Photometric Interpretation: min-is-white"),
          "Rows/Strip: " + std::to_string(page.height),
          "Page Number: " + std::to_string(n) + "-" + std::to_string(pages.size()),
          "DocumentName: " + title, std::string("Software: Tamarind 3.00"),
          std::string("DateTime: 2023:11:14 23:43:20")})
      EXPECT_NE(directory.find(field), std::string::npos) << field << " not in\n" << directory;
    EXPECT_EQ(directory.find("Warning"), std::string::npos) << directory;

    const std::string single = dir.File("page.tif"), pbm = dir.File("page.pbm");
    ASSERT_EQ(RunCommand("tiffcp " + ShellQuote(tiff + "," + std::to_string(n)) + " " + ShellQuote(single) +
                         " && tifftopnm " + ShellQuote(single) + " > " + ShellQuote(pbm))
                  .exitCode,
              0);
    EXPECT_TRUE(test::MatchesReference(pages[n].real->reference, test::ToFaxPage(test::ReadPbm(pbm))));
  }
}

TEST_F(TiffDocumentWriterTest, TheSamePagesGiveTheSameBytes) {
  ScopedTempDir dir;
  Write(dir.File("a.tif"), PagesWithAFailedOne(), "a.fxd");
  Write(dir.File("b.tif"), PagesWithAFailedOne(), "a.fxd");
  EXPECT_EQ(test::ReadFileBytes(dir.File("a.tif")), test::ReadFileBytes(dir.File("b.tif")));
}

TEST(PageResolutionTest, FollowsTheWidthAndTheVerticalResolutionCode) {
  struct Case {
    int32_t width;
    uint16_t y_resolution;
    uint16_t x_dpi;
    uint16_t y_dpi;
  };
  for (const Case& c : {Case{1728, 100, 204, 98}, Case{2432, 200, 204, 196}, Case{2592, 400, 300, 391},
                        Case{3648, 100, 300, 98}, Case{3456, 200, 408, 196}, Case{4864, 400, 408, 391},
                        Case{1000, 200, 204, 196}}) {
    const PageResolution resolution = TruePageResolution(c.width, c.y_resolution);
    EXPECT_EQ(resolution.x_dpi, c.x_dpi) << c.width;
    EXPECT_EQ(resolution.y_dpi, c.y_dpi) << c.y_resolution;
  }
}

}  // namespace
}  // namespace tamarind
