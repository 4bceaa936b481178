// The multi-page TIFF: the bytes the writer has always made for the same
// pages, and what libtiff's own tools read back from it: every page's
// bitmap, coding, resolution, number and orientation, and the document's
// texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "codec/fax/page_resolution.h"
#include "codec/tiff/tiff_document_writer.h"
#include "support/archive_pages.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ArchivePages;
using test::RunCommand;
using test::ScopedTempDir;
using test::ShellQuote;

// 2023-11-14 22:13:20 UTC, in a zone an hour and a half east of it.
constexpr platform::FileTime kModified{1'700'000'000, 0};

class TiffTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", "TST-01:30", 1);
    tzset();
  }
};

struct PageToAdd {
  const FaxPage* page;
  bool upsideDown = false;
};

// Writes the pages; those without rows must be refused without harm to the
// others.
void Write(const std::string& path, const std::vector<PageToAdd>& pages, const DocumentInfo& info) {
  auto file = platform::AtomicOutputFile::Create(path);
  ASSERT_TRUE(file);
  TiffDocumentWriter writer(**file, info);
  for (const PageToAdd& add : pages) {
    platform::Status added = writer.AddPage(*add.page, {add.upsideDown});
    EXPECT_EQ(added.ok(), add.page->height > 0) << added.reason();
  }
  platform::Status finished = writer.Finish();
  ASSERT_TRUE(finished.ok()) << finished.reason();
  ASSERT_TRUE((*file)->Commit().ok());
}

// What a tool printed, with its exit status checked.
std::string Tool(const std::string& command) {
  test::CommandResult result = RunCommand(command);
  EXPECT_EQ(result.exitCode, 0) << command << "\n" << result.output;
  return result.output;
}

// A name and a subject with every kind of byte a fax can bring: control
// bytes (an escape sequence, a carriage return, a tab, a bell) and UTF-8.
const std::string kTitle = "Rechnung M\xC3\xA4rz\x1b[31m\r.fxd";
const std::string kSubject = "Angebot f\xC3\xBCr Caf\xC3\xA9\tneu\x07";
// The page stored upside down.
constexpr size_t kTurnedPage = 2;

TEST_F(TiffTest, LibtiffReadsBackEveryPageWithItsFieldsAndOrientation) {
  ScopedTempDir dir;
  const std::string tiff = dir.File("fax.tif");
  const auto& pages = ArchivePages();
  const FaxPage failed;
  std::vector<PageToAdd> adds;
  for (size_t n = 0; n < pages.size(); ++n) adds.push_back({&pages[n].page, n == kTurnedPage});
  adds.insert(adds.begin() + 1, {&failed});
  Write(tiff, adds, {kTitle, kModified, kSubject});

  // tiffinfo fails on a broken directory chain (a last link left pointing
  // past the end, say); 2>&1 brings its warnings into view.
  const std::string info = Tool("tiffinfo " + ShellQuote(tiff) + " 2>&1");
  EXPECT_EQ(info.find_first_of("\x1b\r\x07"), std::string::npos) << "a control byte reached the terminal";
  std::vector<std::string> directories;
  const std::regex directoryStart("=== TIFF directory [0-9]+ ===");
  for (std::sregex_token_iterator it(info.begin(), info.end(), directoryStart, -1), end; it != end; ++it)
    directories.push_back(*it);
  directories.erase(directories.begin());  // what comes before the first
  ASSERT_EQ(directories.size(), pages.size()) << info;

  for (size_t n = 0; n < pages.size(); ++n) {
    SCOPED_TRACE(pages[n].label);
    const FaxPage& page = pages[n].page;
    const PageResolution resolution = TruePageResolution(page);
    const std::string& directory = directories[n];
    for (const std::string& field :
         {"Image Width: " + std::to_string(page.width) + " Image Length: " + std::to_string(page.height),
          "Resolution: " + std::to_string(resolution.x_dpi) + ", " + std::to_string(resolution.y_dpi) + " pixels/inch",
          std::string("Bits/Sample: 1"), std::string("Compression Scheme: CCITT Group 4"),
          std::string("Photometric Interpretation: min-is-white"), "Rows/Strip: " + std::to_string(page.height),
          "Page Number: " + std::to_string(n) + "-" + std::to_string(pages.size()),
          std::string("DocumentName: Rechnung M\xC3\xA4rz\\x1b[31m\\r.fxd"),
          std::string("ImageDescription: Angebot f\xC3\xBCr Caf\xC3\xA9\\tneu\\x07"),
          std::string("Software: Tamarind 3.00"), std::string("DateTime: 2023:11:14 23:43:20")})
      EXPECT_NE(directory.find(field), std::string::npos) << field << " not in\n" << directory;
    EXPECT_EQ(directory.find("Warning"), std::string::npos) << directory;
    const size_t orientation = directory.find("Orientation:");
    EXPECT_EQ(orientation != std::string::npos, n == kTurnedPage) << directory;
    if (n == kTurnedPage) {
      EXPECT_EQ(directory.find("Orientation: row 0 bottom, col 0 rhs"), orientation) << directory;
    }

    // The page as stored is the page as decoded; shown, it is turned.
    const std::string single = dir.File("page.tif"), stored = dir.File("stored.pbm"), shown = dir.File("shown.pbm");
    Tool("tiffcp " + ShellQuote(tiff + "," + std::to_string(n)) + " " + ShellQuote(single));
    Tool("tifftopnm -orientraw " + ShellQuote(single) + " > " + ShellQuote(stored));
    EXPECT_TRUE(test::MatchesReference(pages[n].real->reference, test::ToFaxPage(test::ReadPbm(stored))));
    Tool("tifftopnm " + ShellQuote(single) + " > " + ShellQuote(shown));
    Tool("cat " + ShellQuote(stored) + (n == kTurnedPage ? " | pnmflip -r180" : "") + " | cmp - " + ShellQuote(shown));
  }
}

// FNV-1a, 64 bits.
uint64_t Digest(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325;
  for (uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001b3;
  return hash;
}

struct Corpus {
  const char* name;
  std::vector<FaxPage> (*pages)();
  // The files the writer made for these pages under either title before
  // it streamed its strips: a change here changes every archive made.
  uint64_t digest[2];
  size_t size[2];
};

void PrintTo(const Corpus& corpus, std::ostream* out) { *out << corpus.name; }

std::vector<FaxPage> NarrowPages() {
  std::vector<FaxPage> pages;
  uint32_t seed = 1;
  for (int width : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33})
    pages.push_back(test::RandomPage(width, 20 + width, 100, seed++));
  return pages;
}

std::vector<FaxPage> LetterPages() {
  return {test::BlockPage(1728, 1100, 100, 900, 7), test::BlockPage(1728, 2200, 200, 1800, 8),
          test::BlockPage(1728, 800, 400, 300, 9)};
}

std::vector<FaxPage> WidePages() {
  std::vector<FaxPage> pages;
  uint32_t seed = 20;
  for (int width : {2048, 2432, 2592, 3072, 3648, 3456, 4096, 4864})
    pages.push_back(test::BlockPage(width, 300, 200, 200, seed++));
  return pages;
}

// A strip of many of the encoder's pieces, pages without a standard width,
// and pages of one colour.
std::vector<FaxPage> OddPages() {
  return {test::RandomPage(1728, 400, 100, 43),   test::RandomPage(1729, 60, 200, 40),
          test::BlockPage(1000, 80, 100, 50, 41), test::SolidPage(1728, 30, 100, false),
          test::SolidPage(1728, 30, 100, true),   test::RandomPage(1, 1, 100, 42)};
}

class TiffBytesTest : public TiffTest, public ::testing::WithParamInterface<Corpus> {};

TEST_P(TiffBytesTest, AreTheBytesOfOld) {
  ScopedTempDir dir;
  const std::vector<FaxPage> pages = GetParam().pages();
  const FaxPage failed;
  std::vector<PageToAdd> adds;
  for (const FaxPage& page : pages) adds.push_back({&page});
  adds.insert(adds.begin() + 1, {&failed});
  const std::string titles[] = {"a.fxd", "Rechnung M\xC3\xA4rz.fxd"};
  for (size_t t = 0; t < 2; ++t) {
    const std::string path = dir.File(std::to_string(t) + ".tif");
    Write(path, adds, {titles[t], kModified});
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), GetParam().size[t]) << titles[t];
    EXPECT_EQ(Digest(bytes), GetParam().digest[t]) << titles[t] << std::hex << ": 0x" << Digest(bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, TiffBytesTest,
    ::testing::Values(Corpus{"narrow", NarrowPages, {0x72118ba19717a4, 0x884af528ec9229eb}, {4682, 4836}},
                      Corpus{"letter", LetterPages, {0xcad608a0118702ab, 0x1b7a118b2bdbf5b}, {21020, 21062}},
                      Corpus{"wide", WidePages, {0xc5fd41105498f80, 0x68e95a8025d83dfa}, {13610, 13722}},
                      Corpus{"odd", OddPages, {0xfe59cfe39daf00ec, 0xe9df6414d7a6c2ad}, {211396, 211480}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PageResolutionTest, FollowsTheWidthAndTheVerticalResolutionCode) {
  struct Case {
    int32_t width;
    uint16_t y_resolution;
    uint16_t x_dpi;
    uint16_t y_dpi;
  };
  for (const Case& c :
       {Case{1728, 100, 204, 98}, Case{2432, 200, 204, 196}, Case{2592, 400, 300, 391}, Case{3648, 100, 300, 98},
        Case{3456, 200, 408, 196}, Case{4864, 400, 408, 391}, Case{1000, 200, 204, 196}}) {
    const PageResolution resolution = TruePageResolution(c.width, c.y_resolution);
    EXPECT_EQ(resolution.x_dpi, c.x_dpi) << c.width;
    EXPECT_EQ(resolution.y_dpi, c.y_dpi) << c.y_resolution;
  }
}

}  // namespace
}  // namespace tamarind
