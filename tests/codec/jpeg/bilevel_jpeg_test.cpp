// The bilevel encoder against libjpeg: the same bytes as the temporary BMP
// and libjpeg path (in process) and as cjpeg on the page's samples, on
// every page of the test corpora, which holds its DCT and quantisation to
// libjpeg's (tests/fuzz/fuzz_bilevel_jpeg does the same on random pages at
// every quality); its Huffman tables against the library's own table
// builder, counts past the library's limits among them.
#include "codec/jpeg/bilevel_jpeg.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <functional>
#include <random>

#include <jpeglib.h>

#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/jpeg_writer.h"
#include "support/document_pages.h"
#include "support/page_images.h"
#include "support/real_pages.h"
#include "support/test_files.h"

// libjpeg's optimal table builder: exported by the library, declared only
// in its private headers.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

namespace tamarind {
namespace {

struct PageCase {
  std::string name;
  std::function<FaxPage()> make;
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

FaxPage WithHeight(FaxPage page, int height) {
  page.height = height;
  return page;
}

FaxPage RealPage(const char* name, bool fine) {
  FaxPage page = test::ToFaxPage(test::RealPageNamed(name).reference);
  page.x_resolution = 200;
  page.y_resolution = fine ? 200 : 100;
  return page;
}

// Text set by groff and rendered by Ghostscript, a Floyd-Steinberg
// halftone, blank and black pages, random noise (more distinct blocks
// than the pattern cache keeps), widths from 1 to 4,864 with the bits past
// the width random, odd heights, and the three resolutions.
std::vector<PageCase> Corpus() {
  std::vector<PageCase> cases = {
      {"text_standard", [] { return RealPage("text-standard-g3", false); }},
      {"text_fine", [] { return RealPage("text-fine-g4", true); }},
      {"halftone_fine", [] { return RealPage("halftone-g3", true); }},
      {"halftone_standard", [] { return RealPage("halftone-g4", false); }},
      {"wide_standard", [] { return RealPage("wide-g3", false); }},
      {"blank", [] { return test::SolidPage(1728, 1100, 100, true); }},
      {"black_odd_height", [] { return test::SolidPage(1728, 1143, 200, false); }},
      {"noise_2048", [] { return test::RandomPage(2048, 1027, 200, 7); }},
      {"width_1", [] { return test::RandomPage(1, 37, 200, 1); }},
      {"width_2_one_row", [] { return test::RandomPage(2, 1, 100, 2); }},
      {"width_7", [] { return test::RandomPage(7, 15, 200, 3); }},
      {"width_9_superfine", [] { return test::RandomPage(9, 17, 400, 4); }},
      {"width_65", [] { return test::RandomPage(65, 63, 100, 5); }},
      {"width_1731",
       [] { return WithHeight(test::PageFromBitmap(test::DocumentPages()[0].standard, 1731, 100), 1001); }},
      {"width_1733_superfine", [] { return test::PageFromBitmap(test::DocumentPages()[0].standard, 1733, 400); }},
      {"width_4864",
       [] { return WithHeight(test::PageFromBitmap(test::DocumentPages()[0].standard, 4864, 200), 1005); }},
  };
  for (int number = 1; number <= 6; ++number) {
    for (bool fine : {true, false}) {
      cases.push_back({"document_" + std::to_string(number) + (fine ? "_fine" : "_standard"), [number, fine] {
                         return test::FaxPageOf(test::DocumentPages()[number - 1].*
                                                    (fine ? &test::DocumentPage::fine : &test::DocumentPage::standard),
                                                fine);
                       }});
    }
  }
  return cases;
}

class BilevelJpegIdentity : public ::testing::TestWithParam<PageCase> {
 protected:
  std::vector<uint8_t> Bilevel(const FaxPage& page, int quality, bool optimize) {
    std::optional<BilevelJpeg> jpeg = BilevelJpeg::Prepare(page, quality, optimize);
    EXPECT_TRUE(jpeg.has_value()) << "page refused";
    if (!jpeg) return {};
    auto output = platform::AtomicOutputFile::Create(dir_.File("bilevel.jpg"));
    EXPECT_TRUE(output);
    EXPECT_EQ(WriteBilevelJpeg(*jpeg, **output), 0);
    return test::ReadFileBytes(dir_.File("bilevel.jpg"));
  }

  // The temporary BMP and libjpeg, as conversions used to run every page.
  std::vector<uint8_t> Reference(const FaxPage& page, int quality, bool optimize) {
    auto bmp = platform::PrivateTempFile::Create(dir_.Path(), "page", ".bmp");
    EXPECT_EQ(WritePageBmp(page, **bmp), 0);
    EXPECT_EQ(WriteJpegFromBmp(**bmp, dir_.File("reference.jpg"), quality, true, optimize), 0);
    return test::ReadFileBytes(dir_.File("reference.jpg"));
  }

  std::vector<uint8_t> Cjpeg(const std::string& pgm, int quality, bool optimize) {
    const std::string command = "cjpeg -quality " + std::to_string(quality) + (optimize ? " -optimize" : "") +
                                " -grayscale " + test::ShellQuote(pgm) + " 2>/dev/null";
    test::CommandResult result = test::RunCommand(command);
    EXPECT_EQ(result.exitCode, 0) << command;
    return std::vector<uint8_t>(result.output.begin(), result.output.end());
  }

  test::ScopedTempDir dir_;
};

TEST_P(BilevelJpegIdentity, SameBytesAsLibjpegAndCjpeg) {
  const FaxPage page = GetParam().make();
  const std::string pgm = dir_.File("page.pgm");
  test::WriteFileText(pgm, test::EncodePgm(test::SquareSamples(page)));
  struct Setting {
    int quality;
    bool optimize;
    bool cjpeg;  // also against cjpeg: the default, 16-bit tables, standard tables
  };
  for (Setting s : {Setting{1, true, true}, Setting{50, true, true}, Setting{75, true, false},
                    Setting{100, true, false}, Setting{50, false, true}}) {
    SCOPED_TRACE("quality " + std::to_string(s.quality) + (s.optimize ? " optimised" : " standard tables"));
    const std::vector<uint8_t> ours = Bilevel(page, s.quality, s.optimize);
    EXPECT_TRUE(ours == Reference(page, s.quality, s.optimize)) << "differs from the BMP and libjpeg path";
    if (s.cjpeg) {
      EXPECT_TRUE(ours == Cjpeg(pgm, s.quality, s.optimize)) << "differs from cjpeg";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BilevelJpegIdentity, ::testing::ValuesIn(Corpus()),
                         [](const auto& info) { return info.param.name; });

// Pages the encoder leaves to the BMP path are exactly those that path
// fails, so a refused page is reported as it always was.
TEST(BilevelJpegRefusal, RefusesOnlyWhatTheBmpPathFails) {
  test::ScopedTempDir dir;
  auto bmp = platform::PrivateTempFile::Create(dir.Path(), "page", ".bmp");
  FaxPage shortBitmap = test::RandomPage(64, 10, 200, 1);
  shortBitmap.height = 11;
  struct Case {
    const char* name;
    FaxPage page;
    bool taken;
  };
  const Case cases[] = {
      {"no rows", test::SolidPage(1728, 0, 200, true), false},
      {"no columns", test::SolidPage(0, 10, 200, true), false},
      {"bitmap shorter than its height", shortBitmap, false},
      {"65,501 rows once doubled", test::SolidPage(8, 32751, 100, true), false},
      {"65,500 rows once doubled", test::SolidPage(8, 32750, 100, true), true},
      {"65,501 columns", test::SolidPage(65501, 1, 200, true), false},
      {"over 2^27 pixels once doubled", test::SolidPage(4096, 16385, 100, true), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BilevelJpeg::Prepare(c.page, 50, true).has_value(), c.taken);
    const bool referenceWrites =
        WritePageBmp(c.page, **bmp) == 0 && WriteJpegFromBmp(**bmp, dir.File("out.jpg"), 50, true, true) == 0;
    EXPECT_EQ(referenceWrites, c.taken);
  }
}

struct LibjpegTable {
  std::optional<HuffmanTable> table;  // null when the library gave up
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) { std::longjmp(*static_cast<std::jmp_buf*>(cinfo->client_data), 1); }

LibjpegTable LibjpegOptimalTable(const SymbolCounts& counts) {
  jpeg_compress_struct c{};
  jpeg_error_mgr errors{};
  std::jmp_buf jump;
  c.err = jpeg_std_error(&errors);
  errors.error_exit = JumpBack;
  jpeg_create_compress(&c);
  c.client_data = &jump;
  JHUFF_TBL* table = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&c));
  long freq[257] = {};
  std::copy(counts.begin(), counts.end(), freq);
  LibjpegTable result;
  if (setjmp(jump) == 0) {
    jpeg_gen_optimal_table(&c, table, freq);
    HuffmanTable built;
    int symbols = 0;
    for (int length = 1; length <= 16; ++length) symbols += built.bits[length] = table->bits[length];
    built.values.assign(table->huffval, table->huffval + symbols);
    result.table = built;
  }
  jpeg_destroy_compress(&c);
  return result;
}

// Counts that tie everywhere, skewed counts that need the 16-bit limit,
// Fibonacci counts that exceed libjpeg's 32-bit limit, and sparse ones.
TEST(BilevelJpegHuffman, OptimalTablesAreLibjpegs) {
  std::mt19937_64 random(77);
  int refused = 0;
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SymbolCounts counts{};
    const int used = 1 + static_cast<int>(random() % 256);
    const int kind = round % 4;
    for (int i = 0; i < used; ++i) {
      const size_t symbol = random() % 256;
      if (kind == 0) counts[symbol] = 1 + static_cast<int64_t>(random() % 4);              // ties
      if (kind == 1) counts[symbol] = int64_t{1} << (random() % 30);                       // skewed
      if (kind == 2) counts[symbol] = 1 + static_cast<int64_t>(random() % 100000);         // spread
      if (kind == 3 && i < 3) counts[symbol] = 1 + static_cast<int64_t>(random() % 1000);  // sparse
    }
    if (round % 50 == 3) {
      // Fibonacci from 1, 2 (the reserved symbol adds the other 1): one
      // symbol per code length up to 28 to 35 bits, past the library's 32
      // or cut to 16 by its limit.
      counts = {};
      int64_t a = 1, b = 2;
      for (int i = 0; i < 28 + round / 50; ++i, std::tie(a, b) = std::pair(b, a + b)) counts[i * 7] = a;
    }
    const LibjpegTable expected = LibjpegOptimalTable(counts);
    const std::optional<HuffmanTable> ours = OptimalHuffmanTable(counts);
    ASSERT_EQ(ours.has_value(), expected.table.has_value());
    refused += !ours;
    if (ours) {
      EXPECT_EQ(ours->bits, expected.table->bits);
      EXPECT_EQ(ours->values, expected.table->values);
    }
  }
  EXPECT_GT(refused, 0) << "no counts past the library's limit were tried";
}

}  // namespace
}  // namespace tamarind
