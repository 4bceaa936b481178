// The PDF read back by independent tools: poppler (pdfimages, pdfinfo,
// pdffonts, pdftotext), qpdf, Ghostscript and Little CMS.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "codec/pdf/pdf_document_writer.h"
#include "codec/fax/page_resolution.h"
#include "support/archive_pages.h"
#include "support/page_images.h"
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
const std::string kTitle = "Rechnung M\xC3\xA4rz & <Mai>.fxd";
const char* const kGlyphLessFont = "/usr/share/tesseract-ocr/5/tessdata/pdf.ttf";

// The words of the text layer on the first page, boxes in its pixels.
const std::vector<PdfWord> kWords = {
    {"Tamarind", 100, 100, 420, 140}, {"\xC3\x9C" "ber", 500, 100, 650, 140},     {"na\xC3\xAFve", 100, 300, 300, 350},
    {"Stra\xC3\x9F" "e", 400, 300, 700, 330}, {"\xE2\x82\xAC" "42", 800, 1000, 950, 1040},
};
// The page shown upside down.
constexpr size_t kTurnedPage = 2;

struct Written {
  std::vector<uint8_t> bytes;
  int pages = 0;
};

// The archive pages with a failed (empty) page after the first, which the
// writer must refuse without harm to the others.
Written Write(const std::string& path, const std::string& title) {
  auto file = platform::AtomicOutputFile::Create(path);
  EXPECT_TRUE(file);
  if (!file) return {};
  PdfDocumentWriter writer(**file, {title, kModified}, test::ReadFileBytes(kGlyphLessFont));
  const std::vector<ArchivePage>& pages = ArchivePages();
  for (size_t n = 0; n < pages.size(); ++n) {
    PdfPageExtras extras;
    if (n == 0) extras.words = kWords;
    if (n == kTurnedPage) extras.rotate = 180;
    platform::Status added = writer.AddPage(pages[n].page, extras);
    EXPECT_TRUE(added.ok()) << added.reason();
    if (n == 0) {
      EXPECT_FALSE(writer.AddPage(FaxPage()).ok());
    }
  }
  platform::Status finished = writer.Finish();
  EXPECT_TRUE(finished.ok()) << finished.reason();
  EXPECT_TRUE((*file)->Commit().ok());
  return {test::ReadFileBytes(path), writer.PagesWritten()};
}

class PdfDocumentWriterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("TZ", kZone, 1);
    tzset();
    dir_ = std::make_unique<ScopedTempDir>();
    pdf_ = dir_->File("fax.pdf");
    written_ = Write(pdf_, kTitle);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::string Run(const std::string& command) {
    test::CommandResult result = RunCommand(command);
    EXPECT_EQ(result.exitCode, 0) << command << "\n" << result.output;
    return result.output;
  }

  static std::unique_ptr<ScopedTempDir> dir_;
  static std::string pdf_;
  static Written written_;
};

std::unique_ptr<ScopedTempDir> PdfDocumentWriterTest::dir_;
std::string PdfDocumentWriterTest::pdf_;
Written PdfDocumentWriterTest::written_;

double Points(int32_t pixels, uint16_t perInch) { return pixels * 72.0 / perInch; }

TEST_F(PdfDocumentWriterTest, EveryPageIsItsGroup4ImageAtItsPaperSize) {
  const std::vector<ArchivePage>& pages = ArchivePages();
  ASSERT_EQ(written_.pages, static_cast<int>(pages.size()));
  const std::string q = ShellQuote(pdf_);
  EXPECT_NE(Run("qpdf --check " + q).find("No syntax or stream encoding errors"), std::string::npos);
  const std::string images = Run("pdfimages -list " + q);
  const std::string sizes = Run("pdfinfo -f 1 -l " + std::to_string(pages.size()) + " " + q);
  Run("pdfimages " + q + " " + ShellQuote(dir_->File("image")));

  for (size_t n = 0; n < pages.size(); ++n) {
    SCOPED_TRACE(pages[n].label);
    const FaxPage& page = pages[n].page;
    const PageResolution resolution = TruePageResolution(page);
    const std::string number = std::to_string(n + 1);

    // page num type width height color comp bpc enc interp object ID x-ppi y-ppi
    const std::regex listed("\\n\\s*" + number + "\\s+" + std::to_string(n) + "\\s+image\\s+" + std::to_string(page.width) + "\\s+" +
                            std::to_string(page.height) + "\\s+gray\\s+1\\s+1\\s+ccitt\\s+no\\s+\\d+\\s+0\\s+" +
                            std::to_string(resolution.x_dpi) + "\\s+" + std::to_string(resolution.y_dpi) + "\\s");
    EXPECT_TRUE(std::regex_search(images, listed)) << images;

    std::smatch size;
    ASSERT_TRUE(std::regex_search(sizes, size,
                                  std::regex("Page\\s+" + number + " size:\\s+([0-9.]+) x ([0-9.]+) pts")))
        << sizes;
    EXPECT_NEAR(std::stod(size[1]), Points(page.width, resolution.x_dpi), 0.01);
    EXPECT_NEAR(std::stod(size[2]), Points(page.height, resolution.y_dpi), 0.01);
    EXPECT_TRUE(std::regex_search(sizes, std::regex("Page\\s+" + number + " rot:\\s+" + (n == kTurnedPage ? "180" : "0"))));

    char image[32];
    std::snprintf(image, sizeof image, "image-%03zu.pbm", n);
    EXPECT_TRUE(test::MatchesReference(pages[n].real->reference, test::ToFaxPage(test::ReadPbm(dir_->File(image)))));

    // At the page's own resolution each image pixel is one device pixel.
    const std::string rendered = dir_->File("rendered.pbm");
    Run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r" + std::to_string(resolution.x_dpi) + "x" +
        std::to_string(resolution.y_dpi) + " -dFirstPage=" + number + " -dLastPage=" + number + " -sOutputFile=- " +
        q + (n == kTurnedPage ? " | pnmflip -r180" : "") + " > " + ShellQuote(rendered));
    EXPECT_TRUE(test::MatchesReference(pages[n].real->reference, test::ToFaxPage(test::ReadPbm(rendered))));
  }
}

// The object |key| refers to in |object| (as qpdf shows it), e.g. "12".
std::string Referenced(const std::string& object, const std::string& key) {
  std::smatch match;
  return std::regex_search(object, match, std::regex(key + " ([0-9]+) 0 R")) ? match[1].str() : "";
}

// ISO 19005-2 level B, requirement by requirement, where a tool can tell.
TEST_F(PdfDocumentWriterTest, MeetsThePdfA2bRequirementsToolsCanCheck) {
  const std::string q = ShellQuote(pdf_);
  // 6.1.2: header and a comment of four bytes above 127.
  const std::string head(written_.bytes.begin(), written_.bytes.begin() + 15);
  EXPECT_EQ(head.substr(0, 10), "%PDF-1.7\n%");
  for (char c : head.substr(10, 4)) EXPECT_GE(static_cast<uint8_t>(c), 128);

  // 6.1.3: an identifier, no encryption.
  const std::string trailer = Run("qpdf --show-object=trailer " + q);
  EXPECT_TRUE(std::regex_search(trailer, std::regex("/ID \\[ <[0-9a-f]{32}> <[0-9a-f]{32}> \\]"))) << trailer;
  EXPECT_EQ(trailer.find("/Encrypt"), std::string::npos);

  // 6.6.2: XMP with the PDF/A identification; 6.6.2.3.1 (and ISO 16684):
  // the information dictionary says the same.
  const std::string info = Run("pdfinfo -isodates " + q);
  const std::string xmp = Run("pdfinfo -meta " + q);
  for (const std::string& field : {"Title:           " + kTitle, std::string("Producer:        Tamarind 3.00"),
                                   std::string("CreationDate:    2023-11-14T23:43:20+01:30")})
    EXPECT_NE(info.find(field), std::string::npos) << field << " not in\n" << info;
  for (const std::string& field :
       {std::string("<pdfaid:part>2</pdfaid:part>"), std::string("<pdfaid:conformance>B</pdfaid:conformance>"),
        std::string("<rdf:li xml:lang=\"x-default\">Rechnung M\xC3\xA4rz &amp; &lt;Mai&gt;.fxd</rdf:li>"),
        std::string("<xmp:CreateDate>2023-11-14T23:43:20+01:30</xmp:CreateDate>"),
        std::string("<pdf:Producer>Tamarind 3.00</pdf:Producer>")})
    EXPECT_NE(xmp.find(field), std::string::npos) << field << " not in\n" << xmp;
  const std::string catalog = Run("qpdf --show-object=" + Referenced(trailer, "/Root") + " " + q);
  EXPECT_EQ(Run("qpdf --show-object=" + Referenced(catalog, "/Metadata") + " " + q).find("/Filter"), std::string::npos);

  // 6.2.3: an output intent whose profile is a valid one-channel ICC
  // profile (Little CMS maps its black and white to L* 0 and 100).
  EXPECT_NE(catalog.find("/S /GTS_PDFA1"), std::string::npos) << catalog;
  const std::string profile = Referenced(catalog, "/DestOutputProfile");
  EXPECT_NE(Run("qpdf --show-object=" + profile + " " + q).find("/N 1 "), std::string::npos);
  const std::string icc = dir_->File("grey.icc");
  Run("qpdf --show-object=" + profile + " --filtered-stream-data " + q + " > " + ShellQuote(icc));
  const std::string lab = Run("printf '0\\n255\\n' | transicc -i" + ShellQuote(icc) + " -o'*Lab' -n 2>/dev/null");
  EXPECT_TRUE(std::regex_search(lab, std::regex("^0\\.0+ \\S+ \\S+ \\n100\\.0+ "))) << lab;

  // 6.2.8: no interpolation; 6.2.10 and 6.4: no transparency, soft masks or
  // blend modes; 6.5/6.6.1: no actions or scripts; 6.8: no embedded files.
  const std::string objects = Run("qpdf --json=2 --json-key=qpdf " + q);
  const std::regex forbidden(
      "\"/(Encrypt|Interpolate|Alternates|OPI|Group|SMask|CA|ca|BM|TR|TR2|AA|OpenAction|JS|JavaScript|"
      "EmbeddedFiles|NeedsRendering)\"");
  std::smatch found;
  EXPECT_FALSE(std::regex_search(objects, found, forbidden)) << found.str();

  // 6.2.11.4: fonts embedded; a ToUnicode map for the text layer.
  const std::string fonts = Run("pdffonts " + q);
  EXPECT_TRUE(std::regex_search(fonts, std::regex("GlyphLessFont\\s+CID TrueType\\s+Identity-H\\s+yes\\s+no\\s+yes")))
      << fonts;
}

TEST_F(PdfDocumentWriterTest, TheTextLayerGivesBackEachWordInItsBox) {
  const std::string boxes = Run("pdftotext -bbox -f 1 -l 1 " + ShellQuote(pdf_) + " -");
  const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
  std::vector<std::smatch> found(std::sregex_iterator(boxes.begin(), boxes.end(), word), std::sregex_iterator());
  ASSERT_EQ(found.size(), kWords.size()) << boxes;
  const FaxPage& page = ArchivePages()[0].page;
  const PageResolution resolution = TruePageResolution(page);
  for (size_t i = 0; i < kWords.size(); ++i) {
    const PdfWord& expected = kWords[i];
    EXPECT_EQ(found[i][5].str(), expected.text);
    EXPECT_NEAR(std::stod(found[i][1]), Points(expected.x0, resolution.x_dpi), 0.05) << expected.text;
    EXPECT_NEAR(std::stod(found[i][2]), Points(expected.y0, resolution.y_dpi), 0.05) << expected.text;
    EXPECT_NEAR(std::stod(found[i][3]), Points(expected.x1, resolution.x_dpi), 0.05) << expected.text;
    EXPECT_NEAR(std::stod(found[i][4]), Points(expected.y1, resolution.y_dpi), 0.05) << expected.text;
  }
}

TEST_F(PdfDocumentWriterTest, TheSameInputGivesTheSameBytesAndOtherInputAnotherIdentifier) {
  EXPECT_EQ(Write(dir_->File("again.pdf"), kTitle).bytes, written_.bytes);
  const std::vector<uint8_t> other = Write(dir_->File("other.pdf"), "other.fxd").bytes;
  const auto id = [](const std::vector<uint8_t>& bytes) {
    std::string text(bytes.end() - 200, bytes.end());
    std::smatch match;
    return std::regex_search(text, match, std::regex("/ID \\[<([0-9A-F]{32})>")) ? match[1].str() : "";
  };
  EXPECT_NE(id(other), "");
  EXPECT_NE(id(other), id(written_.bytes));
}

// PDF/A allows no page side over 14,400 units; a longer page is drawn in
// larger units, which Ghostscript (as Acrobat) honours.
TEST(PdfLongPageTest, KeepsItsSizeInLargerUnits) {
  FaxPage page = test::SolidPage(1728, 20000, 100, true);
  for (int32_t y = 0; y < page.height; y += 997) std::fill_n(page.bits.begin() + y * page.bytes_per_row, 100, 0);
  ScopedTempDir dir;
  const std::string pdf = dir.File("long.pdf"), rendered = dir.File("long.pbm");
  auto file = platform::AtomicOutputFile::Create(pdf);
  ASSERT_TRUE(file);
  PdfDocumentWriter writer(**file, {"long.fxd", kModified});
  ASSERT_TRUE(writer.AddPage(page).ok());
  ASSERT_TRUE(writer.Finish().ok());
  ASSERT_TRUE((*file)->Commit().ok());
  EXPECT_NE(RunCommand("qpdf --json=2 --json-key=qpdf " + ShellQuote(pdf)).output.find("\"/UserUnit\": 2"),
            std::string::npos);
  ASSERT_EQ(RunCommand("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r204x98 -sOutputFile=" +
                       ShellQuote(rendered) + " " + ShellQuote(pdf))
                .exitCode,
            0);
  const FaxPage back = test::ToFaxPage(test::ReadPbm(rendered));
  ASSERT_EQ(back.height, page.height);
  EXPECT_TRUE(std::equal(back.bits.begin(), back.bits.end(), page.bits.begin()));
}

}  // namespace
}  // namespace tamarind
