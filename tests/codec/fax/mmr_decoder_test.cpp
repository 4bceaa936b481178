// Rules of the Group 4 decoder, one small coded page each. Lines are 16
// pixels wide.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <regex>
#include <string>

#include "codec/fax/decode_test_util.h"
#include "support/test_files.h"

namespace tamarind::test {
namespace {

constexpr std::string_view kEol = "000000000001 ";
// Horizontal white 4, black 4, then V0 to the end: white 4, black 4, white 8.
constexpr std::string_view kNotch = "001 1011 011 1 ";

std::vector<uint8_t> Row(const FaxPage& page, int32_t y) {
  std::span<const uint8_t> row = page.Row(y);
  return {row.begin(), row.end()};
}
const std::vector<uint8_t> kWhiteRow = {0xFF, 0xFF};

TEST(MmrDecoderTest, VerticalZeroCodesCopyTheWhiteReferenceUpToTheExpectedLines) {
  Decoded d = DecodeMmr(Bits("11111"), 16, 3);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 3);
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(Row(d.page, y), kWhiteRow);
  EXPECT_EQ(d.page.coding, 7);
  EXPECT_EQ(d.page.bits.size(), 6u);
}

TEST(MmrDecoderTest, EndOfBlockEndsThePageNormally) {
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "111" + std::string(kEol) + std::string(kEol)), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xF0, 0xFF}));
}

TEST(MmrDecoderTest, DataEndingAtALineEndKeepsThatLine) {
  // Eight V0 codes fill the byte exactly.
  Decoded d = DecodeMmr(Bits("11111111"), 16, 10);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.page.height, 8);
}

TEST(MmrDecoderTest, DataEndingInsideTheFirstLineGivesNoLine) {
  Decoded d = DecodeMmr(Bits("001 1011"), 16, 10);  // horizontal, white 4, then nothing
  EXPECT_EQ(d.result, -11);
  EXPECT_EQ(d.page.height, 0);
}

TEST(MmrDecoderTest, PassCodesFollowTheReferenceAndPassItsEnd) {
  // Under the notch line: one pass over the black run, a second with no
  // changing element left (a0 goes to the width), then V0.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "0001 0001 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, VerticalLeftCodesMoveBackAlongTheReference) {
  // Under the notch line: VL1 (black from 3), VL1 (white from 7), V0.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "010 010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xE1, 0xFF}));
}

TEST(MmrDecoderTest, VerticalCodesLeftOfA0PaintNothingAndStayInTheRow) {
  // Horizontal white 10, black 4 puts a0 at 14; VL3 from b1 = 16 gives
  // a1 = 13, left of a0. Then V0 ends the line black.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "001 00111 011 0000010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xFF, 0xC0}));
  // At the line start: the reference starts black, so b1 = 0 and VL1 puts
  // a1 at -1.
  Decoded start = DecodeMmr(Bits("001 00110101 011 1 010 1 1"), 16, 10);
  EXPECT_GE(start.page.height, 1);
  EXPECT_LE(start.page.bits.size(), static_cast<size_t>(start.page.height) * 2);
}

TEST(MmrDecoderTest, ZeroLengthRunPairsMarkNoChangeInTheReference) {
  // The notch line with a horizontal white 0, black 0 in its middle: the
  // line below sees the notch alone, as in the VL test above.
  Decoded d = DecodeMmr(Bits("001 1011 011 001 00110101 0000110111 1 010 010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xE1, 0xFF}));
}

TEST(MmrDecoderTest, LinesWithMoreRunsThanTheListHoldsStillPaintEveryRun) {
  // Eight pixels wide, so the list holds nine runs (a line that starts
  // black has an empty white run first): four horizontal codes of white 1,
  // black 0 fill eight, and the fifth (white 1, black 3) no longer fits.
  // Every white pixel is painted all the same.
  std::string pair = "001 000111 0000110111 ";
  Decoded d = DecodeMmr(Bits(pair + pair + pair + pair + "001 000111 10"), 8, 10);
  ASSERT_GE(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF8}));
}

TEST(MmrDecoderTest, LinesPastTheExpectedLinesLeaveTheLastRowAsItWas) {
  // Room for one line: the notch line is stored, the VL line after it
  // (which alone would paint 0xE1 0xFF) is decoded but must not show.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "010 010 1"), 16, 1);
  ASSERT_EQ(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
}

TEST(MmrDecoderTest, AnEolRestartsTheLineOnAWhiteReference) {
  // Notch line, EOL, then V0: the V0 line copies white, not the notch.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + std::string(kEol) + "1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, InvalidCodesResynchroniseBehindARunOfFfBytes) {
  // Notch line, an invalid code (seven zeros and a 1), padding, two 0xFF
  // bytes, then a line starting with 000/001: horizontal white 16, black 0.
  std::string text = std::string(kNotch) + "00000001 00000 " + "11111111 11111111 " + "001 101010 0000110111";
  Decoded d = DecodeMmr(Bits(text), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, ResynchronisationNeedsTwoFfBytesAndASuitableNextCode) {
  // One 0xFF byte is not enough; 0xFF 0xFF followed by 1 bits is not either
  // (the bits after the last 1 are 010). Nothing else follows.
  std::string one_ff = std::string(kNotch) + "00000001 00000 " + "11111111 " + "001 101010 0000110111";
  Decoded a = DecodeMmr(Bits(one_ff), 16, 10);
  EXPECT_EQ(a.result, -12);
  EXPECT_EQ(a.page.height, 1);
  std::string bad_next = std::string(kNotch) + "00000001 00000 " + "11111111 11111111 11010111";
  Decoded b = DecodeMmr(Bits(bad_next), 16, 10);
  EXPECT_EQ(b.result, -12);
  EXPECT_EQ(b.page.height, 1);
}

TEST(MmrDecoderTest, OddVariantsDecodeNothing) {
  for (uint8_t variant : {1, 3, 5, 7}) {
    FaxPage page;
    page.width = 77;
    std::vector<uint8_t> data = Bits("1111");
    MmrDecoder decoder(data, MsbFirst, variant, 0, 3);
    decoder.SetPageSize(16, 10);
    EXPECT_EQ(decoder.DecodeMmrPage(page), -1);
    EXPECT_EQ(page.width, 77);
    EXPECT_EQ(page.height, 0);
  }
  std::vector<uint8_t> data = Bits("1111");
  MmrDecoder even(data, MsbFirst, 2, 0, 3);
  even.SetPageSize(16, 10);
  FaxPage page;
  EXPECT_EQ(even.DecodeMmrPage(page), 0);
  EXPECT_EQ(page.height, 4);
}

TEST(MmrDecoderTest, AllocationFollowsTheRowsDecoded) {
  Decoded d = DecodeMmr(Bits("1111"), 65535, 65535);
  EXPECT_EQ(d.page.height, 4);
  EXPECT_LE(d.page.bits.capacity(), 64u * 8192u);
  Decoded none = DecodeMmr(Bits("1111"), 0, 65535);
  EXPECT_EQ(none.result, -1);
  EXPECT_EQ(none.page.height, 0);
}

// A page |width| pixels wide and 100 high, of random pixels with a white
// row and a black row every ten.
Bitmap NarrowPage(int32_t width) {
  std::mt19937 random(static_cast<uint32_t>(width));
  Bitmap page{width, 100, (width + 7) / 8, {}};
  for (int32_t y = 0; y < page.height; ++y) {
    const uint32_t blackIn16 = y % 10 == 3 ? 0 : y % 10 == 7 ? 16 : random() % 17;
    for (int32_t byte = 0; byte < page.bytes_per_row; ++byte) {
      uint8_t bits = 0;
      for (int bit = 0; bit < 8; ++bit) bits = static_cast<uint8_t>(bits << 1 | (random() % 16 < blackIn16));
      const int32_t used = std::min(8, width - 8 * byte);  // the pixels past the width stay 0
      page.rows.push_back(static_cast<uint8_t>(bits & (0xFF << (8 - used))));
    }
  }
  return page;
}

// |page| coded by netpbm's pnmtotiff (libtiff's encoder) as one Group 4
// strip, cut out of the TIFF where tiffinfo says it lies.
std::vector<uint8_t> CodedByLibtiff(const Bitmap& page, const ScopedTempDir& dir) {
  const std::string pbm = dir.File("page.pbm"), tiff = dir.File("page.tif");
  const std::string header = "P4\n" + std::to_string(page.width) + " " + std::to_string(page.height) + "\n";
  std::vector<uint8_t> file(header.begin(), header.end());
  file.insert(file.end(), page.rows.begin(), page.rows.end());
  WriteFileBytes(pbm, file);
  const CommandResult strips =
      RunCommand("pnmtotiff -g4 -rowsperstrip=" + std::to_string(page.height) + " " + ShellQuote(pbm) + " > " +
                 ShellQuote(tiff) + " && tiffinfo -s " + ShellQuote(tiff));
  std::smatch strip;
  EXPECT_EQ(strips.exitCode, 0) << strips.output;
  if (!std::regex_search(strips.output, strip, std::regex("1 Strips:\\s+0: \\[\\s*([0-9]+),\\s*([0-9]+)\\]")))
    return {};
  const std::vector<uint8_t> bytes = ReadFileBytes(tiff);
  const size_t offset = std::stoul(strip[1]), length = std::stoul(strip[2]);
  if (offset + length > bytes.size()) return {};
  return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
          bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

// Pages 1 to 17 pixels wide as libtiff's encoder codes them: each decodes
// to its every row. A line of alternating pixels that starts black has one
// run more than it has pixels, which is where narrow pages went wrong (a
// page 1 pixel wide lost rows from its first black pixel on).
TEST(MmrDecoderTest, NarrowPagesFromAnotherEncoderDecodeWhole) {
  ScopedTempDir dir;
  for (int32_t width = 1; width <= 17; ++width) {
    SCOPED_TRACE("width " + std::to_string(width));
    const Bitmap page = NarrowPage(width);
    const std::vector<uint8_t> coded = CodedByLibtiff(page, dir);
    ASSERT_FALSE(coded.empty());
    Decoded d = DecodeMmr(coded, page.width, kRealPageLines);
    EXPECT_EQ(d.result, 0);
    ASSERT_EQ(d.page.height, page.height);
    for (int32_t y = 0; y < page.height; ++y) ASSERT_TRUE(SameRow(page, y, d.page, y)) << "row " << y;
  }
}

}  // namespace
}  // namespace tamarind::test
