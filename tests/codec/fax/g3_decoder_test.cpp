// Rules of the one-dimensional decoder, one small coded page each. Lines
// are 16 pixels wide unless said otherwise.
#include <gtest/gtest.h>

#include <string>

#include "codec/fax/decode_test_util.h"
#include "support/test_files.h"

namespace tamarind::test {
namespace {

constexpr std::string_view kEol = "000000000001 ";
constexpr std::string_view kWhite16 = "101010 ";
// white 4, black 8, white 4
constexpr std::string_view kStripes = "1011 000101 1011 ";

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

std::string Eols(int count) {
  std::string text;
  while (count-- > 0) text += kEol;
  return text;
}

const std::string kW = "................", kS = "....########....";

// Each rule on a small page: which lines are kept, in which rows, and the
// result.
TEST(G3DecoderTest, LinesAreKeptOrDroppedByTheRules) {
  const std::string zeros20(20, '0'), white1728(1728, '.'), white1729(1729, '.'), page = Join({kEol, kWhite16, kEol});
  // 2560 + 2560 + 1792 + 0 = 6912 white pixels overrun a 1728 line.
  const std::string overrun = "000000011111 000000011111 00000001000 00110101 ", line1728 = "010011011 00110101 ";
  const std::string line1729 = "010011011 000111 ";
  const std::string overlong = "1011 000101 001000 1011 ";  // white 4, black 8, white 12
  const std::string black8 = "00110101 000101 10011";       // white 0, black 8, white 8
  const std::string four = Join({kEol, kWhite16, kEol, kStripes, kEol, kWhite16, kEol, kWhite16, kEol});
  const RuleCase cases[] = {
      // A leading EOL, two lines, and the six EOLs that close a page: the
      // empty lines around the two are not stored.
      {"lines between EOLs", 16, 10, 0, {kW, kS}, Join({kEol, kWhite16, kEol, kStripes}) + Eols(6)},
      // Fill zeros before an EOL are absorbed; with 20 the walk takes one bit
      // past the EOL (a 1 when the next line starts with white 16, a 0 when it
      // starts with white 0, black 8, white 8) and gives it back; with 21 the
      // EOL ends exactly.
      {"fill taking a 1", 16, 10, 0, {kW, kW}, Join({kEol, kWhite16, zeros20, "1", kWhite16, kEol})},
      {"fill taking a 0", 16, 10, 0, {kW, "########........"}, Join({kEol, kWhite16, zeros20, "1", black8, kEol})},
      {"fill ending exactly", 16, 10, 0, {kW, kS}, Join({kEol, kWhite16, zeros20, "01", kStripes, kEol})},
      // Decoding resumes after the EOL that follows the overrun, and that
      // line starts white.
      {"make-up codes overrunning", 1728, 10, 0, {white1728}, Join({kEol, overrun, kEol, line1728, kEol})},
      {"short line dropped", 16, 10, 0, {kS}, Join({kEol, "1011 000101 ", kEol, kStripes, kEol})},
      // The painter stops at the row end, and the row comes back clean for
      // the next line.
      {"overlong line", 16, 10, 0, {kS}, Join({kEol, overlong, kEol, kStripes, kEol})},
      // Eight zeros and a 1 is no code: counted, and its line lost.
      {"invalid code", 16, 10, 1, {kW, kS}, page + Join({"1011 000000001 0 ", kEol, kStripes, kEol})},
      {"invalid code with no EOL after it", 16, 10, 1, {kW}, page + "000000001 1111111"},
      {"complete last line without EOL", 16, 10, 0, {kW, kS}, page + std::string(kStripes)},
      {"incomplete last line without EOL", 16, 10, 0, {kW}, page + "1011 000101"},
      // Two expected lines of four coded: the invalid code and the overlong
      // line after the four are never met.
      {"stops at the expected lines", 16, 2, 0, {kW, kS}, Join({four, "000000001 ", kEol, overlong, kEol, kWhite16})},
      // 1729 pixels: 217 bytes a row, the last holding one pixel.
      {"odd width", 1729, 10, 0, {white1729, white1729}, Join({kEol, line1729, kEol, line1729, kEol})},
      {"no data", 1728, 3432, 0, {}, ""},
      {"no columns", 0, 10, -1, {}, page},
      {"no lines", 16, 0, -1, {}, page},
      {"negative width", -5, 10, -1, {}, page},
      {"negative lines", 16, -1, -1, {}, page},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRuleKept(c, DecodeG3(Bits(c.bits), c.width, c.lines));
  }
}

// Runs longer than 2560 pixels take the 2560 make-up code and another one
// before their terminating code; only pages 3456 or 4864 wide hold them.
// netpbm's encoder writes them and its decoder checks the round trip.
TEST(G3DecoderTest, RunsOfSeveralMakeUpCodesAddUp) {
  ScopedTempDir dir;
  for (int32_t width : {3456, 4864}) {
    SCOPED_TRACE(width);
    Bitmap source{width, 4, (width + 7) / 8, {}};
    source.rows.assign(static_cast<size_t>(source.bytes_per_row) * 4, 0);
    auto paint = [&](int32_t row, int32_t from, int32_t to) {
      for (int32_t x = from; x < to; ++x)
        source.rows[static_cast<size_t>(row * source.bytes_per_row + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    };
    paint(0, 100, width - 5);  // white 100, black width - 105, white 5
    paint(1, 3000, width);     // white 3000, the rest black
    paint(2, 0, width);        // one black run
    const std::string pbm = dir.File("long.pbm");
    WriteFileText(pbm, "P4\n" + std::to_string(width) + " 4\n" + std::string(source.rows.begin(), source.rows.end()));
    CommandResult coded =
        RunCommand("pbmtog3 -nofixedwidth " + ShellQuote(pbm) + " > " + ShellQuote(dir.File("long.g3")));
    ASSERT_EQ(coded.exitCode, 0) << coded.output;
    Decoded d = DecodeG3(ReadFileBytes(dir.File("long.g3")), width, 10);
    EXPECT_TRUE(MatchesReference(source, d.page));
  }
}

TEST(G3DecoderTest, AllocationFollowsTheRowsDecodedNotTheClaimedPageSize) {
  std::vector<uint8_t> data = Bits(Join({kEol, "010011011 00110101 ", kEol}));  // one white 1728 line
  Decoded d = DecodeG3(data, 65535, 65535);
  EXPECT_EQ(d.page.height, 0);  // the line is too short for this width
  EXPECT_LE(d.page.bits.capacity(), 64u * 8192u);
  Decoded narrow = DecodeG3(data, 1728, 65535);
  EXPECT_EQ(narrow.page.height, 1);
  EXPECT_LE(narrow.page.bits.capacity(), 64u * 216u);
}

TEST(G3DecoderTest, OnlyTheOneDimensionalModeDecodes) {
  FaxPage page;
  page.width = 77;
  std::vector<uint8_t> data = Bits(Join({kEol, kWhite16, kEol}));
  G3Decoder decoder(data, MsbFirst, 4, 0);
  decoder.SetPageSize(16, 10);
  EXPECT_EQ(decoder.DecodeG3Page(page), -1);
  EXPECT_EQ(page.width, 77);
}

}  // namespace
}  // namespace tamarind::test
