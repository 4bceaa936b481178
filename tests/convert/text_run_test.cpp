// Text recognition from the command line: the words of a real document
// come out of the PDF at the places its pages show them, standard pages as
// well as fine ones, and beside JPEGs as a text file; a language without
// its data stops the run before anything is converted. Recognition is
// slow, so one fax of two pages serves every test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "codec/tiff/group4.h"
#include "ocr/languages.h"
#include "platform/files.h"
#include "support/document_pages.h"
#include "support/fax_files.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;

// Page 2 of the document, dense running text, as a fine and as a standard
// fax page, and fine again fed in upside down.
const test::DocumentPage& TextPage() { return test::DocumentPages().at(1); }

tools::WinFaxPageLayout Coded(const test::Bitmap& bitmap, bool fine) {
  const platform::Expected<std::vector<uint8_t>> coded = EncodeGroup4(test::FaxPageOf(bitmap, fine));
  if (!coded) throw std::runtime_error(coded.reason());
  tools::WinFaxPageLayout page;
  page.coded = *coded;
  page.msb_first = true;
  page.group4 = true;
  page.resolution_code = fine ? 1 : 0;
  page.width = static_cast<uint16_t>(bitmap.width);
  page.length = static_cast<uint16_t>(bitmap.height);
  return page;
}

class TextRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(tools::WriteWinFaxFile(dir().File("doc.fxd"),
                                       std::vector{Coded(TextPage().fine, true), Coded(TextPage().standard, false),
                                                   Coded(test::Rotated180(TextPage().fine), true)}));
  }

  static test::ScopedTempDir& dir() {
    static test::ScopedTempDir folder;
    return folder;
  }

  static test::CommandResult Tamarind(const std::string& arguments, const std::string& environment = "") {
    return test::RunProgram(dir().Path(), "/q " + arguments + " 2>&1", environment);
  }

  static std::string PdfText(const std::string& pdf, int page) {
    return test::RunCommand("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " " +
                            ShellQuote(pdf) + " -")
        .output;
  }

  // The median height of the words pdftotext finds on |page|, in points.
  static double MedianWordHeight(const std::string& pdf, int page) {
    const std::string html = test::RunCommand("pdftotext -bbox -f " + std::to_string(page) + " -l " +
                                              std::to_string(page) + " " + ShellQuote(pdf) + " -")
                                 .output;
    static const std::regex word(R"re(yMin="([0-9.]+)" xMax="[0-9.]+" yMax="([0-9.]+)")re");
    std::vector<double> heights;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it)
      heights.push_back(std::stod((*it)[2]) - std::stod((*it)[1]));
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + static_cast<ptrdiff_t>(heights.size() / 2), heights.end());
    return heights[heights.size() / 2];
  }
};

// Floors below the recall measured here (about 0.98 on both pages).
constexpr double kRecallFloor = 0.9;

TEST_F(TextRun, PdfPagesCarryTheirWordsAtTheirTrueSize) {
  test::CommandResult run = Tamarind("/f=doc.fxd /sf=out/doc.pdf /fmt=pdf /ocr");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string pdf = dir().File("out/doc.pdf");
  EXPECT_GE(test::WordRecall(TextPage().text, PdfText(pdf, 1)), kRecallFloor);
  EXPECT_GE(test::WordRecall(TextPage().text, PdfText(pdf, 2)), kRecallFloor);
  // The same text set at half the rows: its words must not be squeezed.
  const double fine = MedianWordHeight(pdf, 1), standard = MedianWordHeight(pdf, 2);
  EXPECT_GT(fine, 5.0);
  EXPECT_NEAR(standard / fine, 1.0, 0.2) << "fine " << fine << " pt, standard " << standard << " pt";
  // The page fed upside down is shown turned, its text reading upright.
  EXPECT_GE(test::WordRecall(TextPage().text, PdfText(pdf, 3)), kRecallFloor);
  EXPECT_THAT(test::RunCommand("pdfinfo -f 3 -l 3 " + ShellQuote(pdf)).output, HasSubstr("rot:   180"));
  EXPECT_THAT(test::RunCommand("qpdf --check " + ShellQuote(pdf)).output,
              HasSubstr("No syntax or stream encoding errors"));
}

// Pages read side by side on two workers give the bytes one worker gives.
// A TIFF keeps the page fed upside down as it was coded, with Orientation 3
// so that viewers show it upright, and its text file in page order.
TEST_F(TextRun, PagesReadOnTwoWorkersGiveTheBytesOfOne) {
  for (const std::string jobs : {"1", "2"})
    ASSERT_EQ(Tamarind("/f=doc.fxd /sf=j" + jobs + "/doc.pdf /fmt=pdf /ocr /j=" + jobs).exitCode, 0) << jobs;
  EXPECT_TRUE(test::ReadFileBytes(dir().File("j1/doc.pdf")) == test::ReadFileBytes(dir().File("j2/doc.pdf")));

  test::CommandResult run = Tamarind("/f=doc.fxd /sf=tif/doc.tif /fmt=tif /ocr /j=2");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  test::CommandResult info = test::RunCommand("tiffinfo " + ShellQuote(dir().File("tif/doc.tif")));
  ASSERT_EQ(info.exitCode, 0);
  std::vector<std::string> orientations;
  for (size_t at = info.output.find("TIFF Directory"); at != std::string::npos;) {
    const size_t next = info.output.find("TIFF Directory", at + 1);
    const std::string directory = info.output.substr(at, next - at);
    const size_t tag = directory.find("Orientation: ");
    orientations.push_back(tag == std::string::npos ? "" : directory.substr(tag, directory.find('\n', tag) - tag));
    at = next;
  }
  EXPECT_THAT(orientations, ::testing::ElementsAre("", "", "Orientation: row 0 bottom, col 0 rhs"));
  const std::string text = test::ReadFileText(dir().File("tif/doc.txt"));
  EXPECT_GE(test::WordRecall(TextPage().text, text.substr(text.rfind('\f') + 1)), kRecallFloor);
}

TEST_F(TextRun, JpegPagesGetATextFileWithFormFeedsBetweenPages) {
  test::CommandResult run = Tamarind("/f=doc.fxd /sf=out/doc.jpg /ocr=eng");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string text = test::ReadFileText(dir().File("out/doc.txt"));
  ASSERT_EQ(std::count(text.begin(), text.end(), '\f'), 2) << text;
  size_t start = 0;
  for (int page = 1; page <= 3; ++page) {
    const size_t feed = std::min(text.find('\f', start), text.size());
    EXPECT_GE(test::WordRecall(TextPage().text, text.substr(start, feed - start)), kRecallFloor) << "page " << page;
    start = feed + 1;
  }
  EXPECT_TRUE(test::FileExists(dir().File("out/doc002.jpg")));
}

// Recognition data as downloaded language data leaves it: whatever is
// missing stops the run before anything is converted, named with its
// package.
TEST_F(TextRun, MissingDataIsRefusedNamingItsPackage) {
  const std::string installed = ocr::DefaultDataFolder() + "/";
  struct Case {
    std::vector<std::string> copied;  // into the private data folder
    std::string switches;
    std::string named;
  } cases[] = {
      {{"eng.traineddata", "osd.traineddata", "pdf.ttf"}, "/ocr=eng+zzz", "tesseract-ocr-zzz"},
      {{"eng.traineddata", "pdf.ttf"}, "/ocr", "tesseract-ocr-osd"},
      {{"eng.traineddata", "osd.traineddata"}, "/ocr /fmt=pdf", "pdf.ttf"},
  };
  for (const Case& c : cases) {
    test::ScopedTempDir data;
    for (const std::string& name : c.copied) std::filesystem::copy_file(installed + name, data.File(name));
    test::CommandResult run = Tamarind("/d=. /sd=none " + c.switches, "TESSDATA_PREFIX=" + ShellQuote(data.Path()));
    EXPECT_EQ(run.exitCode, 2) << c.switches;
    EXPECT_THAT(run.output, HasSubstr(c.named)) << c.switches;
    EXPECT_FALSE(test::FileExists(dir().File("none"))) << c.switches;
  }
}

// A page too tall for recognition keeps its image, but the fax has failed:
// in the report's lines and totals, in the JSON report and in the exit
// status, whatever the format.
TEST_F(TextRun, APageNotRecognisedFailsItsFax) {
  ASSERT_TRUE(platform::MakeFolders(dir().File("tall")));
  ASSERT_TRUE(tools::WriteWinFaxFile(dir().File("tall/tall.fxd"),
                                     std::vector{test::WhiteRowsPage(16, 8, 1), test::WhiteRowsPage(16, 40000, 1)}));
  for (const std::string format : {"pdf", "jpg"}) {
    SCOPED_TRACE(format);
    test::CommandResult run =
        Tamarind("/d=tall /sd=tall-" + format + " /fmt=" + format + " /ocr /log=tall.log /report=tall.json");
    EXPECT_EQ(run.exitCode, 2) << run.output;
    const std::string log = test::ReadFileText(dir().File("tall.log"));
    EXPECT_THAT(log, HasSubstr("Failed : tall/tall.fxd - text of page 002 of 2 not recognised\r\n"));
    EXPECT_THAT(log, HasSubstr("Total converted FAX files: 0\r\n"));
    if (format == "jpg") {
      EXPECT_THAT(log, HasSubstr("002.jpg : Success ! (text not recognised: too large)"));
    }
    EXPECT_THAT(test::ReadFileText(dir().File("tall.json")), HasSubstr("\"status\":\"failed\""));
    EXPECT_THAT(run.output, HasSubstr("tall/tall.fxd: page 2: text not recognised: the page is too large"));
  }
}

}  // namespace
}  // namespace tamarind
