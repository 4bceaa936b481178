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
constexpr uint8_t kStripesRow[] = {0xF0, 0x0F};

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

std::vector<uint8_t> Row(const FaxPage& page, int32_t y) {
  std::span<const uint8_t> row = page.Row(y);
  return {row.begin(), row.end()};
}
const std::vector<uint8_t> kWhiteRow = {0xFF, 0xFF};
const std::vector<uint8_t> kStripes16 = {std::begin(kStripesRow), std::end(kStripesRow)};

TEST(G3DecoderTest, LinesBetweenEolsAreStoredAndTheEmptyLinesAroundThemAreNot) {
  // A leading EOL, two lines, and the six EOLs that close a page.
  std::string text = Join({kEol, kWhite16, kEol, kStripes, kEol});
  for (int i = 0; i < 5; ++i) text += kEol;
  Decoded d = DecodeG3(Bits(text), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), kWhiteRow);
  EXPECT_EQ(Row(d.page, 1), kStripes16);
}

TEST(G3DecoderTest, FillBitsBeforeAnEolAreAbsorbedAndTheBitTakenPastItIsGivenBack) {
  // 20 fill zeros: the walk takes one bit past the EOL (a 1 when the next
  // line starts with white 16, a 0 when it starts with white 0). 21 zeros:
  // the EOL ends exactly.
  struct Case {
    int zeros;
    std::string_view next_line;
    std::vector<uint8_t> row;
  };
  const Case cases[] = {
      {20, kWhite16, kWhiteRow},
      {20, "00110101 000101 10011", {0x00, 0xFF}},  // white 0, black 8, white 8
      {21, kStripes, kStripes16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zeros);
    std::string text = Join({kEol, kWhite16, std::string(static_cast<size_t>(c.zeros), '0'), "1", c.next_line, kEol});
    Decoded d = DecodeG3(Bits(text), 16, 10);
    EXPECT_EQ(d.result, 0);
    ASSERT_EQ(d.page.height, 2);
    EXPECT_EQ(Row(d.page, 1), c.row);
  }
}

TEST(G3DecoderTest, MakeUpCodesAddUpAndAnOverlongLineIsDropped) {
  // 2560 + 2560 + 1792 + 0 = 6912 white pixels overrun a 1728 line; decoding
  // resumes after the next EOL and that line starts white.
  std::string line = Join({"000000011111 000000011111 00000001000 00110101 ", kEol});
  std::string white1728 = "010011011 00110101 ";  // make-up 1728, terminating 0
  Decoded d = DecodeG3(Bits(Join({kEol, line, white1728, kEol})), 1728, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 1);
  EXPECT_TRUE(IsWhiteRow(d.page, 0));
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

TEST(G3DecoderTest, ShortLinesAreDroppedAndTheNextLineTakesTheirRow) {
  Decoded d = DecodeG3(Bits(Join({kEol, "1011 000101 ", kEol, kStripes, kEol})), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), kStripes16);
}

TEST(G3DecoderTest, OverlongLinesResynchroniseAtTheNextEol) {
  // white 4, black 8, white 12 = 24 pixels; the painter must stop at the row
  // end and the row must come back clean for the next line.
  Decoded d = DecodeG3(Bits(Join({kEol, "1011 000101 001000 1011 ", kEol, kStripes, kEol})), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), kStripes16);
}

TEST(G3DecoderTest, InvalidCodesAreCountedAndCostTheirLine) {
  // Eight zeros and a 1 is no code.
  Decoded d = DecodeG3(Bits(Join({kEol, kWhite16, kEol, "1011 000000001 0 ", kEol, kStripes, kEol})), 16, 10);
  EXPECT_EQ(d.result, 1);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), kWhiteRow);
  EXPECT_EQ(Row(d.page, 1), kStripes16);
}

TEST(G3DecoderTest, InvalidCodeWithNoEolAfterItEndsThePage) {
  Decoded d = DecodeG3(Bits(Join({kEol, kWhite16, kEol, "000000001 1111111"})), 16, 10);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.page.height, 1);
}

TEST(G3DecoderTest, ALastLineWithoutEolCountsOnlyWhenComplete) {
  EXPECT_EQ(DecodeG3(Bits(Join({kEol, kWhite16, kEol, kStripes})), 16, 10).page.height, 2);
  EXPECT_EQ(DecodeG3(Bits(Join({kEol, kWhite16, kEol, "1011 000101"})), 16, 10).page.height, 1);
}

TEST(G3DecoderTest, StopsOnceTheExpectedLinesAreStored) {
  // Two expected lines, four coded, then an invalid code and an overlong
  // line: the second row keeps the second line, and decoding ends there
  // (the invalid code is never met).
  std::string text = Join({kEol, kWhite16, kEol, kStripes, kEol, kWhite16, kEol, kWhite16, kEol});
  text += Join({"000000001 ", kEol, "1011 000101 001000 1011 ", kEol, kWhite16});
  Decoded d = DecodeG3(Bits(text), 16, 2);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), kWhiteRow);
  EXPECT_EQ(Row(d.page, 1), kStripes16);
  EXPECT_EQ(d.page.bits.size(), 4u);
}

TEST(G3DecoderTest, OddWidthsKeepRowsOnByteBoundaries) {
  // 1729 pixels: 217 bytes a row, the last holding one pixel.
  std::string white1729 = "010011011 000111 ";  // 1728 + 1
  Decoded d = DecodeG3(Bits(Join({kEol, white1729, kEol, white1729, kEol})), 1729, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(d.page.bytes_per_row, 217);
  EXPECT_EQ(d.page.Row(1)[216] & 0x80, 0x80);
  EXPECT_TRUE(IsWhiteRow(d.page, 1));
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

TEST(G3DecoderTest, UnusablePageSizesGiveAnEmptyPage) {
  std::vector<uint8_t> data = Bits(Join({kEol, kWhite16, kEol}));
  for (auto [width, lines] : {std::pair{0, 10}, {16, 0}, {-5, 10}, {16, -1}}) {
    Decoded d = DecodeG3(data, width, lines);
    EXPECT_EQ(d.result, -1);
    EXPECT_EQ(d.page.height, 0);
    EXPECT_TRUE(d.page.bits.empty());
  }
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

TEST(G3DecoderTest, EmptyDataDecodesToNoLine) {
  Decoded d = DecodeG3({}, 1728, 3432);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.page.height, 0);
  EXPECT_EQ(d.page.width, 1728);
}

}  // namespace
}  // namespace tamarind::test
