// The PDF read back by independent tools: poppler (pdfimages, pdfinfo,
// pdffonts, pdftotext, pdfdetach), qpdf, Ghostscript and Little CMS. The
// bytes themselves (cross-references, lengths, the text layer's operators
// and escapes) are tests/fuzz/fuzz_pdf_writer's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "codec/fax/page_resolution.h"
#include "codec/pdf/page_box.h"
#include "codec/pdf/pdf_document_writer.h"
#include "platform/file_handle.h"
#include "support/archive_pages.h"
#include "support/page_images.h"
#include "support/real_pages.h"
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
const std::string kTitle = "Rechnung M\xC3\xA4rz & <Mai>.fxd";
const std::string kSubject = "Angebot f\xC3\xBCr Caf\xC3\xA9";
const char* const kGlyphLessFont = "/usr/share/tesseract-ocr/5/tessdata/pdf.ttf";

// The words of the text layer on the first page, boxes in its pixels; the
// last one's first character lies beyond 16 bits (a surrogate pair).
const std::vector<PdfWord> kWords = {
    {"Tamarind", 100, 100, 420, 140},
    {"\xC3\x9C"
     "ber",
     500, 100, 650, 140},
    {"na\xC3\xAFve", 100, 300, 300, 350},
    {"Stra\xC3\x9F"
     "e",
     400, 300, 700, 330},
    {"\xE2\x82\xAC"
     "42",
     800, 1000, 950, 1040},
    {"\xF0\x9F\x98\x80x", 10, 10, 50, 50},
};
// The page shown upside down, and its words: those of the first page and
// enough more letters that codes reach 0x28, 0x29 and 0x5C, which its
// strings must escape ("(", ")", "\\").
constexpr size_t kTurnedPage = 2;
const std::vector<PdfWord> kTurnedWords = [] {
  std::vector<PdfWord> words = kWords;
  words.push_back({"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 60, 500, 1900, 540});
  std::string latin;
  for (char32_t c = 0xC0; c <= 0xFF; ++c)
    if (c != 0xD7 && c != 0xF7) latin += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  words.push_back({latin, 60, 600, 1900, 640});
  return words;
}();

// What a tool printed, with its exit status checked.
std::string Tool(const std::string& command) {
  test::CommandResult result = RunCommand(command);
  EXPECT_EQ(result.exitCode, 0) << command << "\n" << result.output;
  return result.output;
}

void SetZone() {
  setenv("TZ", "TST-01:30", 1);
  tzset();
}

// Writes |pages| as a document, which qpdf must find sound; |add| gives
// each page its extras.
template <typename Add>
std::vector<uint8_t> Write(const std::string& path, const DocumentInfo& info, size_t pages, Add add,
                           std::optional<PdfEmbeddedSource> source = std::nullopt) {
  auto file = platform::AtomicOutputFile::Create(path);
  EXPECT_TRUE(file);
  if (!file) return {};
  PdfDocumentWriter writer(**file, info, test::ReadFileBytes(kGlyphLessFont), std::move(source));
  for (size_t n = 0; n < pages; ++n) add(writer, n);
  platform::Status finished = writer.Finish();
  EXPECT_TRUE(finished.ok()) << finished.reason();
  EXPECT_TRUE((*file)->Commit().ok());
  EXPECT_NE(Tool("qpdf --check " + ShellQuote(path)).find("No syntax or stream encoding errors"), std::string::npos);
  return test::ReadFileBytes(path);
}

// The archive pages, words on the first and on the third, which is upside
// down, and a
// failed (empty) page after the first, which the writer must refuse
// without harm to the others.
std::vector<uint8_t> WriteArchivePages(const std::string& path, const std::string& title) {
  return Write(path, {title, kModified, kSubject}, ArchivePages().size(), [](PdfDocumentWriter& writer, size_t n) {
    PdfPageExtras extras;
    if (n == 0) extras.words = kWords;
    if (n == kTurnedPage) extras.words = kTurnedWords;
    if (n == kTurnedPage) extras.rotate = 180;
    platform::Status added = writer.AddPage(ArchivePages()[n].page, extras);
    EXPECT_TRUE(added.ok()) << added.reason();
    if (n == 0) {
      EXPECT_FALSE(writer.AddPage(FaxPage()).ok());
    }
  });
}

class PdfDocumentWriterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetZone();
    dir_ = std::make_unique<ScopedTempDir>();
    pdf_ = dir_->File("fax.pdf");
    bytes_ = WriteArchivePages(pdf_, kTitle);
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::unique_ptr<ScopedTempDir> dir_;
  static std::string pdf_;
  static std::vector<uint8_t> bytes_;
};

std::unique_ptr<ScopedTempDir> PdfDocumentWriterTest::dir_;
std::string PdfDocumentWriterTest::pdf_;
std::vector<uint8_t> PdfDocumentWriterTest::bytes_;

double Points(int32_t pixels, uint16_t perInch) { return pixels * 72.0 / perInch; }

// The object |key| refers to in |object| (as qpdf shows it), e.g. "12".
std::string Referenced(const std::string& object, const std::string& key) {
  std::smatch match;
  return std::regex_search(object, match, std::regex(key + " ([0-9]+) 0 R")) ? match[1].str() : "";
}

std::string Object(const std::string& pdf, const std::string& object, bool data = false) {
  return Tool("qpdf --show-object=" + object + (data ? " --filtered-stream-data " : " ") + ShellQuote(pdf));
}

// pdfimages -list's line of page |n| (page num type width height color
// comp bpc enc interp object ID x-ppi y-ppi) must show a Group 4 image of
// the page's size and resolution: its object number, or "" when it does not.
std::string ListedImage(const std::string& images, size_t n, const FaxPage& page) {
  const PageResolution resolution = TruePageResolution(page);
  std::smatch listed;
  const std::regex line("\\n\\s*" + std::to_string(n + 1) + "\\s+\\d+\\s+image\\s+" + std::to_string(page.width) +
                        "\\s+" + std::to_string(page.height) + "\\s+gray\\s+1\\s+1\\s+ccitt\\s+no\\s+(\\d+)\\s+0\\s+" +
                        std::to_string(resolution.x_dpi) + "\\s+" + std::to_string(resolution.y_dpi) + "\\s");
  return std::regex_search(images, listed, line) ? listed[1].str() : "";
}

// Page |n| as Ghostscript renders it at |page|'s own resolution, where
// each image pixel is one device pixel; turned back when |turned|.
test::Bitmap Rendered(const std::string& pdf, size_t n, const FaxPage& page, const std::string& file,
                      bool turned = false) {
  const PageResolution resolution = TruePageResolution(page);
  const std::string number = std::to_string(n + 1);
  Tool("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r" + std::to_string(resolution.x_dpi) + "x" +
       std::to_string(resolution.y_dpi) + " -dFirstPage=" + number + " -dLastPage=" + number + " -sOutputFile=- " +
       ShellQuote(pdf) + (turned ? " | pnmflip -r180" : "") + " > " + ShellQuote(file));
  return test::ReadPbm(file);
}

TEST_F(PdfDocumentWriterTest, EveryPageIsItsGroup4ImageAtItsPaperSize) {
  const std::vector<ArchivePage>& pages = ArchivePages();
  const std::string images = Tool("pdfimages -list " + ShellQuote(pdf_));
  const std::string sizes = Tool("pdfinfo -f 1 -l " + std::to_string(pages.size()) + " " + ShellQuote(pdf_));
  for (size_t n = 0; n < pages.size(); ++n) {
    SCOPED_TRACE(pages[n].label);
    EXPECT_NE(ListedImage(images, n, pages[n].page), "") << images;
    EXPECT_TRUE(std::regex_search(
        sizes, std::regex("Page\\s+" + std::to_string(n + 1) + " rot:\\s+" + (n == kTurnedPage ? "180" : "0"))));
    const test::Bitmap shown = Rendered(pdf_, n, pages[n].page, dir_->File("rendered.pbm"), n == kTurnedPage);
    EXPECT_TRUE(test::MatchesReference(pages[n].real->reference, test::ToFaxPage(shown)));
  }
}

// The number of glyphs in a TrueType font (its maxp table's numGlyphs).
uint32_t GlyphCount(const std::vector<uint8_t>& font) {
  const auto u16 = [&](size_t at) { return at + 2 <= font.size() ? uint32_t{font[at]} << 8 | font[at + 1] : 0u; };
  for (uint32_t i = 0; i < u16(4); ++i) {
    const size_t record = 12 + 16 * size_t{i};
    if (record + 16 <= font.size() && std::equal(font.begin() + record, font.begin() + record + 4, "maxp"))
      return u16((u16(record + 8) << 16 | u16(record + 10)) + 4);
  }
  return 0;
}

// ISO 19005-2 level B, requirement by requirement, where a tool can tell.
TEST_F(PdfDocumentWriterTest, MeetsThePdfA2bRequirementsToolsCanCheck) {
  const std::string q = ShellQuote(pdf_);
  // 6.1.2: header and a comment of four bytes above 127.
  const std::string head(bytes_.begin(), bytes_.begin() + 15);
  EXPECT_EQ(head.substr(0, 10), "%PDF-1.7\n%");
  for (char c : head.substr(10, 4)) EXPECT_GE(static_cast<uint8_t>(c), 128);

  // 6.1.3: an identifier, no encryption.
  const std::string trailer = Object(pdf_, "trailer");
  EXPECT_TRUE(std::regex_search(trailer, std::regex("/ID \\[ <[0-9a-f]{32}> <[0-9a-f]{32}> \\]"))) << trailer;

  // 6.6.2: XMP with the PDF/A identification; 6.6.2.3.1 (and ISO 16684):
  // the information dictionary says the same.
  const std::string info = Tool("pdfinfo -isodates " + q);
  const std::string xmp = Tool("pdfinfo -meta " + q);
  for (const std::string& field :
       {"Title:           " + kTitle, "Subject:         " + kSubject, std::string("Producer:        Tamarind 3.00"),
        std::string("CreationDate:    2023-11-14T23:43:20+01:30")})
    EXPECT_NE(info.find(field), std::string::npos) << field << " not in\n" << info;
  for (const std::string& field :
       {std::string("<pdfaid:part>2</pdfaid:part>"), std::string("<pdfaid:conformance>B</pdfaid:conformance>"),
        std::string("<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Rechnung M\xC3\xA4rz &amp; &lt;Mai&gt;.fxd"),
        "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" + kSubject + "</rdf:li>",
        std::string("<xmp:CreateDate>2023-11-14T23:43:20+01:30</xmp:CreateDate>"),
        std::string("<pdf:Producer>Tamarind 3.00</pdf:Producer>")})
    EXPECT_NE(xmp.find(field), std::string::npos) << field << " not in\n" << xmp;
  const std::string catalog = Object(pdf_, Referenced(trailer, "/Root"));
  EXPECT_EQ(Object(pdf_, Referenced(catalog, "/Metadata")).find("/Filter"), std::string::npos);

  // 6.2.3: an output intent whose profile is a valid one-channel ICC
  // profile (Little CMS maps its black and white to L* 0 and 100).
  EXPECT_NE(catalog.find("/S /GTS_PDFA1"), std::string::npos) << catalog;
  const std::string profile = Referenced(catalog, "/DestOutputProfile");
  EXPECT_NE(Object(pdf_, profile).find("/N 1 "), std::string::npos);
  const std::string icc = dir_->File("grey.icc");
  Tool("qpdf --show-object=" + profile + " --filtered-stream-data " + q + " > " + ShellQuote(icc));
  const std::string lab = Tool("printf '0\\n255\\n' | transicc -i" + ShellQuote(icc) + " -o'*Lab' -n 2>/dev/null");
  EXPECT_TRUE(std::regex_search(lab, std::regex("^0\\.0+ \\S+ \\S+ \\n100\\.0+ "))) << lab;

  // 6.1.3 (no encryption), 6.2.8: no interpolation; 6.2.10 and 6.4: no
  // transparency, soft masks or blend modes; 6.5/6.6.1: no actions or
  // scripts; 6.8: no embedded files.
  const std::string objects = Tool("qpdf --json=2 --json-key=qpdf " + q);
  const std::regex forbidden(
      "\"/(Encrypt|Interpolate|Alternates|OPI|Group|SMask|CA|ca|BM|TR|TR2|AA|OpenAction|JS|JavaScript|"
      "EmbeddedFiles|AF|NeedsRendering)\"");
  std::smatch found;
  EXPECT_FALSE(std::regex_search(objects, found, forbidden)) << found.str();
}

// ISO 19005-2 6.2.11.4: the text layer's font embedded, every code on a
// glyph the font has (none on .notdef), a ToUnicode map.
TEST_F(PdfDocumentWriterTest, TheTextLayerFontIsEmbeddedWithEveryCodeOnAGlyph) {
  const std::string q = ShellQuote(pdf_);
  const std::string objects = Tool("qpdf --json=2 --json-key=qpdf " + q);
  const std::string fonts = Tool("pdffonts " + q);
  EXPECT_TRUE(std::regex_search(fonts, std::regex("GlyphLessFont\\s+CID TrueType\\s+Identity-H\\s+yes\\s+no\\s+yes")))
      << fonts;
  std::smatch map;
  ASSERT_TRUE(std::regex_search(objects, map, std::regex("\"/CIDToGIDMap\": \"([0-9]+) 0 R\""))) << objects;
  const std::string mapFile = dir_->File("cidtogid.bin");
  Tool("qpdf --show-object=" + map[1].str() + " --filtered-stream-data " + q + " > " + ShellQuote(mapFile));
  const std::vector<uint8_t> gids = test::ReadFileBytes(mapFile);
  const uint32_t glyphs = GlyphCount(test::ReadFileBytes(kGlyphLessFont));
  ASSERT_GT(gids.size(), 2u);
  for (size_t cid = 1; cid < gids.size() / 2; ++cid) {
    const uint32_t gid = uint32_t{gids[2 * cid]} << 8 | gids[2 * cid + 1];
    EXPECT_TRUE(gid > 0 && gid < glyphs) << "code " << cid << " shows glyph " << gid << " of " << glyphs;
  }
}

// Each word where the page shows it, to a twentieth of a point; on the
// page shown upside down, where it shows once turned.
TEST_F(PdfDocumentWriterTest, TheTextLayerGivesBackEachWordInItsBox) {
  for (const size_t n : {size_t{0}, kTurnedPage}) {
    SCOPED_TRACE(n);
    const std::string number = std::to_string(n + 1);
    const std::string boxes = Tool("pdftotext -bbox -f " + number + " -l " + number + " " + ShellQuote(pdf_) + " -");
    const std::regex word(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
    std::vector<std::smatch> found(std::sregex_iterator(boxes.begin(), boxes.end(), word), std::sregex_iterator());
    const bool turned = n == kTurnedPage;
    const std::vector<PdfWord>& words = turned ? kTurnedWords : kWords;
    ASSERT_EQ(found.size(), words.size()) << boxes;
    const FaxPage& page = ArchivePages()[n].page;
    const PageResolution resolution = TruePageResolution(page);
    for (const PdfWord& expected : words) {
      // In reading order, which is not the order they were given in.
      const auto match =
          std::find_if(found.begin(), found.end(), [&](const std::smatch& m) { return m[5] == expected.text; });
      ASSERT_NE(match, found.end()) << expected.text << " not in\n" << boxes;
      const int32_t x0 = turned ? page.width - expected.x1 : expected.x0;
      const int32_t x1 = turned ? page.width - expected.x0 : expected.x1;
      const int32_t y0 = turned ? page.height - expected.y1 : expected.y0;
      const int32_t y1 = turned ? page.height - expected.y0 : expected.y1;
      EXPECT_NEAR(std::stod((*match)[1]), Points(x0, resolution.x_dpi), 0.05) << expected.text;
      EXPECT_NEAR(std::stod((*match)[2]), Points(y0, resolution.y_dpi), 0.05) << expected.text;
      EXPECT_NEAR(std::stod((*match)[3]), Points(x1, resolution.x_dpi), 0.05) << expected.text;
      EXPECT_NEAR(std::stod((*match)[4]), Points(y1, resolution.y_dpi), 0.05) << expected.text;
    }
  }
}

TEST_F(PdfDocumentWriterTest, TheSameInputGivesTheSameBytesAndOtherInputAnotherIdentifier) {
  EXPECT_EQ(WriteArchivePages(dir_->File("again.pdf"), kTitle), bytes_);
  const std::vector<uint8_t> other = WriteArchivePages(dir_->File("other.pdf"), "other.fxd");
  const auto id = [](const std::vector<uint8_t>& bytes) {
    std::string text(bytes.end() - 200, bytes.end());
    std::smatch match;
    return std::regex_search(text, match, std::regex("/ID \\[<([0-9A-F]{32})>")) ? match[1].str() : "";
  };
  EXPECT_NE(id(other), "");
  EXPECT_NE(id(other), id(bytes_));
}

// A blank page with one black pixel in its top row at |x|.
FaxPage DotPage(int32_t x) {
  FaxPage page = test::SolidPage(1728, 300, 200, true);
  page.bits[static_cast<size_t>(x / 8)] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
  return page;
}

// Pages whose images code to the same bytes at the same size show one
// image object, each page still its own pixels at its own size: a page
// sent twice, and blank pages, which code alike at every width (so a
// blank page of another width must not share) and at every resolution
// (so one filed at another may). A dot 8 or 9 pixels in codes to as many
// bytes either way, but not the same.
TEST(PdfSharedImageTest, PagesCodedAlikeAtOneSizeShareAnImageAndShowTheirOwnPixels) {
  SetZone();
  const FaxPage& text = ArchivePages()[1].page;
  const std::vector<FaxPage> pages = {text,
                                      ArchivePages()[2].page,
                                      text,
                                      test::SolidPage(1728, 300, 200, true),
                                      test::SolidPage(2048, 300, 200, true),
                                      test::SolidPage(1728, 300, 100, true),
                                      DotPage(8),
                                      DotPage(9)};
  const size_t shown_by[] = {0, 1, 0, 3, 4, 3, 6, 7};  // the first page with the same image
  ScopedTempDir dir;
  const std::string pdf = dir.File("shared.pdf");
  Write(pdf, {"shared.fxd", kModified}, pages.size(),
        [&](PdfDocumentWriter& writer, size_t n) { ASSERT_TRUE(writer.AddPage(pages[n]).ok()); });
  const std::string images = Tool("pdfimages -list " + ShellQuote(pdf));
  std::vector<std::string> objects;
  for (size_t n = 0; n < pages.size(); ++n) {
    SCOPED_TRACE("page " + std::to_string(n + 1));
    objects.push_back(ListedImage(images, n, pages[n]));
    ASSERT_NE(objects[n], "") << images;
    for (size_t earlier = 0; earlier < n; ++earlier)
      EXPECT_EQ(objects[earlier] == objects[n], earlier == shown_by[n]) << "against page " << earlier + 1;
    const test::Bitmap shown = Rendered(pdf, n, pages[n], dir.File("page.pbm"));
    ASSERT_EQ(shown.height, pages[n].height);
    EXPECT_TRUE(test::MatchesReference(shown, pages[n]));
  }
}

// PDF/A allows no page side over 14,400 units; a longer page is drawn in
// larger units, which Ghostscript (as Acrobat) honours.
TEST(PdfLongPageTest, KeepsItsSizeInLargerUnits) {
  SetZone();
  FaxPage page = test::SolidPage(1728, 20000, 100, true);
  for (int32_t y = 0; y < page.height; y += 997) std::fill_n(page.bits.begin() + y * page.bytes_per_row, 100, 0);
  ScopedTempDir dir;
  const std::string pdf = dir.File("long.pdf"), rendered = dir.File("long.pbm");
  Write(pdf, {"long.fxd", kModified}, 1,
        [&](PdfDocumentWriter& writer, size_t) { ASSERT_TRUE(writer.AddPage(page).ok()); });
  EXPECT_NE(Tool("qpdf --json=2 --json-key=qpdf " + ShellQuote(pdf)).find("\"/UserUnit\": 2"), std::string::npos);
  Tool("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r204x98 -sOutputFile=" + ShellQuote(rendered) + " " +
       ShellQuote(pdf));
  const FaxPage back = test::ToFaxPage(test::ReadPbm(rendered));
  ASSERT_EQ(back.height, page.height);
  EXPECT_TRUE(std::equal(back.bits.begin(), back.bits.end(), page.bits.begin()));
}

// Every side a page can have, at every resolution and in every user
// unit a page gets, read back as poppler and Ghostscript size their
// rasters: never a pixel more or less than the page has.
TEST(PdfPageBoxTest, EverySideGivesItsPixelsExactly) {
  for (const uint16_t perInch : {204, 300, 408, 98, 196, 391}) {
    for (int64_t unit = 1; unit <= 5; ++unit) {
      for (int32_t pixels = 1; pixels <= 65500; ++pixels) {
        const double side = std::stod(pdf_internal::PageSide(pixels, perInch, unit));
        const double poppler = side * static_cast<double>(unit) * (perInch / 72.0);          // then rounded up
        const double ghostscript = side * static_cast<double>(unit) * perInch / 72.0 + 0.5;  // then cut
        ASSERT_EQ(std::ceil(poppler), pixels) << pixels << " at " << perInch << " in units of " << unit;
        ASSERT_EQ(static_cast<int32_t>(ghostscript), pixels) << pixels << " at " << perInch << " in units of " << unit;
      }
    }
  }
}

// A title and subject say the same in the information dictionary and in
// XMP, whatever bytes they hold: control bytes, which XML cannot carry (or
// turns into others), shown escaped in both; bytes that are no UTF-8 as
// U+FFFD in both; characters past 16 bits as themselves in both.
struct MetadataCase {
  const char* label;
  std::string text;
  std::string shown;  // in both
};

void PrintTo(const MetadataCase& c, std::ostream* out) { *out << c.label; }

// XML character data as text.
std::string XmlText(std::string text) {
  for (const auto& [entity, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1))
      text.replace(at, std::string(entity).size(), character);
  return text;
}

class PdfMetadataTest : public ::testing::TestWithParam<MetadataCase> {};

TEST_P(PdfMetadataTest, InfoAndXmpSayTheSame) {
  SetZone();
  ScopedTempDir dir;
  const std::string pdf = dir.File("m.pdf");
  const FaxPage page = test::SolidPage(8, 8, 100, true);
  Write(pdf, {GetParam().text, kModified, GetParam().text}, 1,
        [&](PdfDocumentWriter& writer, size_t) { ASSERT_TRUE(writer.AddPage(page).ok()); });
  const std::string info = Tool("pdfinfo " + ShellQuote(pdf)), xmp = Tool("pdfinfo -meta " + ShellQuote(pdf));
  for (const auto& [key, property] : {std::pair{"Title", "dc:title"}, {"Subject", "dc:description"}}) {
    std::smatch inInfo, inXmp;
    ASSERT_TRUE(std::regex_search(info, inInfo, std::regex(std::string(key) + ": *([^\n]*)\n"))) << info;
    ASSERT_TRUE(std::regex_search(
        xmp, inXmp,
        std::regex("<" + std::string(property) + "><rdf:Alt><rdf:li xml:lang=\"x-default\">([^<]*)</rdf:li>")))
        << xmp;
    EXPECT_EQ(inInfo[1].str(), GetParam().shown) << key;
    EXPECT_EQ(XmlText(inXmp[1].str()), GetParam().shown) << property;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PdfMetadataTest,
    ::testing::Values(MetadataCase{"ControlBytes", "line\rbreak\n\x1b]0;title\x07\x1b[2J\ttab\x7f.fxd",
                                   "line\\rbreak\\n\\x1b]0;title\\x07\\x1b[2J\\ttab\\x7f.fxd"},
                      MetadataCase{"BytesNotUtf8", "M\xE4rz \xFF\x80.fxd",
                                   "M\xEF\xBF\xBDrz \xEF\xBF\xBD\xEF\xBF\xBD.fxd"},
                      MetadataCase{"BeyondSixteenBits", "\xF0\x9F\x98\x80 \xF0\x90\x8D\x88 \xF4\x8F\xBF\xBD.fxd",
                                   "\xF0\x9F\x98\x80 \xF0\x90\x8D\x88 \xF4\x8F\xBF\xBD.fxd"}),
    [](const auto& info) { return std::string(info.param.label); });

// A text-layer font of odd metrics, as another make of glyph-less font
// may have them: a glyph 1 narrower than a thousandth of an em would make
// every word infinitely wide ("inf" in the page's text), so the font is
// refused; with an em of one unit (glyph 1 then 1,024 em wide, the em
// 2,049 tall) a long word still fits its box to a twentieth of a pixel.
TEST(PdfTextFontTest, OddMetricsAreRefusedOrStillFitEachWordToItsBox) {
  const std::vector<uint8_t> font = test::ReadFileBytes(kGlyphLessFont);
  const auto table = [&](std::string_view tag) {
    for (size_t record = 12; record + 16 <= font.size(); record += 16)
      if (std::string_view(reinterpret_cast<const char*>(&font[record]), 4) == tag)
        return size_t{font[record + 8]} << 24 | size_t{font[record + 9]} << 16 | size_t{font[record + 10]} << 8 |
               font[record + 11];
    return size_t{0};
  };
  const size_t unitsPerEm = table("head") + 18, advance = table("hmtx") + 4;  // glyph 1's
  ASSERT_GT(unitsPerEm, 18u);
  ASSERT_GT(advance, 4u);
  const FaxPage& page = ArchivePages()[0].page;
  const std::vector<PdfWord> words = {{std::string(2000, 'w'), 100, 100, 1700, 140}};
  for (const auto& [units, width] : {std::pair{0xFF00, 1}, std::pair{1, 1024}}) {
    SCOPED_TRACE(units);
    std::vector<uint8_t> odd = font;
    odd[unitsPerEm] = static_cast<uint8_t>(units >> 8), odd[unitsPerEm + 1] = static_cast<uint8_t>(units);
    odd[advance] = static_cast<uint8_t>(width >> 8), odd[advance + 1] = static_cast<uint8_t>(width);
    ScopedTempDir dir;
    const std::string pdf = dir.File("odd.pdf");
    auto file = platform::AtomicOutputFile::Create(pdf);
    ASSERT_TRUE(file);
    PdfDocumentWriter writer(**file, {"odd.fxd", kModified}, odd);
    const platform::Status added = writer.AddPage(page, {0, words});
    if (units == 0xFF00) {
      EXPECT_EQ(added.reason(), "no usable font for the text layer");
      continue;
    }
    ASSERT_TRUE(added.ok()) << added.reason();
    ASSERT_TRUE(writer.Finish().ok());
    ASSERT_TRUE((*file)->Commit().ok());
    const std::string pages =
        Object(pdf, Referenced(Object(pdf, Referenced(Object(pdf, "trailer"), "/Root")), "/Pages"));
    const std::string contents =
        Object(pdf, Referenced(Object(pdf, Referenced(pages, "/Kids \\[")), "/Contents"), true);
    std::smatch matrix;
    ASSERT_TRUE(std::regex_search(contents, matrix, std::regex("\n([0-9.]+) 0 0 ([0-9.]+) 100 [0-9]+ Tm"))) << contents;
    EXPECT_NEAR(std::stod(matrix[1]) * 2000 * 1024, 1600, 0.05);
    EXPECT_NEAR(std::stod(matrix[2]) * 2049, 40, 0.05);
  }
}

// A document that carries its source: PDF/A-3b, the source listed and
// given back byte for byte, its /Filespec dictionary as PDF/A-3 asks.
TEST(PdfEmbeddedSourceTest, CarriesTheSourceByteForByte) {
  SetZone();
  ScopedTempDir dir;
  // Several of the pieces it is copied in, the last one short.
  std::vector<uint8_t> original(200'001);
  std::mt19937 random(5);
  for (uint8_t& byte : original) byte = static_cast<uint8_t>(random());
  const std::string source = dir.File("source.fxd"), pdf = dir.File("doc.pdf"), back = dir.File("back.fxd");
  test::WriteFileBytes(source, original);
  auto opened = platform::OpenRegularFile(source);
  ASSERT_TRUE(opened);
  const FaxPage& page = ArchivePages()[0].page;
  Write(
      pdf, {"Rechnung M\xC3\xA4rz.fxd", kModified}, 1,
      [&](PdfDocumentWriter& writer, size_t) {
        ASSERT_TRUE(writer.AddPage(page, {0, kWords}).ok());
      },
      PdfEmbeddedSource{std::move(*opened), "Rechnung M\xC3\xA4rz\r.fxd", {1'600'000'000, 0}});

  const std::string q = ShellQuote(pdf);
  EXPECT_NE(Tool("pdfdetach -list " + q).find("1: Rechnung M\xC3\xA4rz\\r.fxd\n"), std::string::npos);
  Tool("pdfdetach -save 1 -o " + ShellQuote(back) + " " + q);
  EXPECT_EQ(test::ReadFileBytes(back), original);

  const std::string xmp = Tool("pdfinfo -meta " + q);
  EXPECT_NE(xmp.find("<pdfaid:part>3</pdfaid:part>"), std::string::npos) << xmp;
  EXPECT_NE(xmp.find("<pdfaid:conformance>B</pdfaid:conformance>"), std::string::npos) << xmp;
  const std::string catalog = Object(pdf, Referenced(Object(pdf, "trailer"), "/Root"));
  const std::string fileEntry = Referenced(catalog, "/AF \\[");
  ASSERT_NE(fileEntry, "") << catalog;
  EXPECT_TRUE(
      std::regex_search(catalog, std::regex("/EmbeddedFiles << /Names \\[ <[0-9a-f]+> " + fileEntry + " 0 R \\]")))
      << catalog;
  const std::string dictionary = Object(pdf, fileEntry);
  for (const char* entry : {"/AFRelationship /Source", "/F (Rechnung M_rz\\\\r.fxd)", "/Type /Filespec", "/UF <feff"})
    EXPECT_NE(dictionary.find(entry), std::string::npos) << entry << " not in " << dictionary;
  const std::string embedded = Object(pdf, Referenced(dictionary, "/EF << /F"));
  // 2020-09-13 12:26:40 UTC, at +01:30.
  for (const char* entry : {"/Type /EmbeddedFile", "/Subtype /application#2fx-winfax",
                            "/Params << /ModDate (D:20200913135640+01'30') /Size 200001 >>"})
    EXPECT_NE(embedded.find(entry), std::string::npos) << entry << " not in " << embedded;
}

}  // namespace
}  // namespace tamarind
