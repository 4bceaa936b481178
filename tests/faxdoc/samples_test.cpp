// The bundled samples must be what they claim: WinFax files whose pages
// decode, through the document, to what independent decoders make of the
// same coded data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faxdoc/fax_document.h"
#include "faxdoc/format_code.h"
#include "support/real_pages.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ScopedTempDir;
using test::ShellQuote;

struct SamplePage {
  bool group4;
  uint16_t y_resolution;
};

struct Sample {
  const char* name;
  std::vector<SamplePage> pages;
};

// The independent decoder's bitmap of |coded| (least significant bit first,
// as stored in the file).
test::Bitmap OracleBitmap(const ScopedTempDir& dir, std::span<const uint8_t> coded, bool group4, int32_t width) {
  const std::string data = dir.File("page.fax");
  const std::string pbm = dir.File("page.pbm");
  test::WriteFileBytes(data, tools::ReverseBits(coded));
  const std::string w = std::to_string(width);
  const std::string command =
      group4 ? "fax2tiff -4 -M -u -X " + w + " -o " + ShellQuote(dir.File("page.tif")) + " " + ShellQuote(data) +
                   " 2>/dev/null && tifftopnm " + ShellQuote(dir.File("page.tif")) + " > " + ShellQuote(pbm) +
                   " 2>/dev/null"
             : "g3topbm -width=" + w + " " + ShellQuote(data) + " > " + ShellQuote(pbm) + " 2>/dev/null";
  test::RunCommand(command);
  return test::ReadPbm(pbm);
}

TEST(SamplesTest, EverySampleDecodesLikeTheIndependentDecoders) {
  const Sample samples[] = {
      {"standard-g3.fxd", {{false, 100}, {false, 100}}},
      {"fine-g3.fxs", {{false, 200}}},
      {"standard-g4.fxr", {{true, 100}}},
      {"fine-g4.fxm", {{true, 200}}},
      {"superfine-g4.fxd", {{true, 400}}},
      {"multipage.fxd", {{false, 100}, {true, 200}, {true, 400}, {false, 200}}},
  };
  ScopedTempDir dir;
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.name);
    const std::string path = test::SourceDir() + "/samples/" + sample.name;
    EXPECT_EQ(FormatCodeFromExtension(path), kWinFaxFormat);
    FaxDocument doc;
    ASSERT_EQ(doc.Load(path, kWinFaxFormat), 0);
    EXPECT_TRUE(doc.IsLoaded());
    ASSERT_EQ(doc.PageCount(), sample.pages.size());
    for (size_t i = 0; i < sample.pages.size(); ++i) {
      SCOPED_TRACE(i);
      if (i > 0) doc.DecodePage(kWinFaxFormat, static_cast<int>(i));
      const FaxPage& page = doc.Page();
      const test::Bitmap oracle = OracleBitmap(dir, doc.Reader().CodedData(), sample.pages[i].group4, 1728);
      int32_t inked_rows = 0;
      for (int32_t y = 0; y < oracle.height; ++y) inked_rows += !test::IsWhiteRow(oracle, y);
      EXPECT_GT(inked_rows, 20);
      EXPECT_TRUE(test::MatchesReference(oracle, page));
      EXPECT_EQ(page.coding, sample.pages[i].group4 ? 7 : 5);
      EXPECT_EQ(page.y_resolution, sample.pages[i].y_resolution);
      EXPECT_EQ(page.width, 1728);
      EXPECT_GT(page.height, 200);
    }
  }
}

}  // namespace
}  // namespace tamarind
