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

const std::string kW = "................", kNotchRow = "....####........", kVlRow = "...####.........";

std::string Notch(std::string_view then) { return std::string(kNotch) + std::string(then); }

// Each rule on a small page: which lines are kept, in which rows, and the
// result.
TEST(MmrDecoderTest, CodesPaintTheRowsTheRulesGive) {
  const std::string pair = "001 000111 0000110111 ";  // horizontal white 1, black 0
  // An invalid code (seven zeros and a 1) and padding; a 0xFF byte; a line
  // starting with 000/001: horizontal white 16, black 0.
  const std::string invalid = "00000001 00000 ", ff = "11111111 ", white16 = "001 101010 0000110111";
  const RuleCase cases[] = {
      // V0 codes copy the white reference, up to the expected lines.
      {"V0 up to the expected lines", 16, 3, 0, {kW, kW, kW}, "11111"},
      {"end of block", 16, 10, 0, {kNotchRow, kNotchRow}, Notch("111") + std::string(kEol) + std::string(kEol)},
      // Eight V0 codes fill the byte exactly.
      {"data ending at a line end", 16, 10, 0, std::vector<std::string>(8, kW), "11111111"},
      {"data ending inside the first line", 16, 10, -11, {}, "001 1011"},
      // One pass over the notch's black run, a second with no changing
      // element left (a0 goes to the width), then V0.
      {"pass codes", 16, 10, 0, {kNotchRow, kW}, Notch("0001 0001 1")},
      // VL1 (black from 3), VL1 (white from 7), V0.
      {"vertical left", 16, 10, 0, {kNotchRow, kVlRow}, Notch("010 010 1")},
      // Horizontal white 10, black 4 puts a0 at 14; VL3 from b1 = 16 gives
      // a1 = 13, left of a0: it paints nothing. Then V0 ends the line black.
      {"vertical code left of a0", 16, 10, 0, {kNotchRow, "..........######"}, Notch("001 00111 011 0000010 1")},
      // A horizontal white 0, black 0 in the notch line's middle marks no
      // change in the reference: the line below sees the notch alone.
      {"zero-length run pair", 16, 10, 0, {kNotchRow, kVlRow}, "001 1011 011 001 00110101 0000110111 1 010 010 1"},
      // Eight pixels wide, the list holds nine runs: four horizontal codes of
      // white 1, black 0 fill eight, and the fifth (white 1, black 3) no
      // longer fits. Every white pixel is painted all the same.
      {"more runs than the list holds", 8, 10, 0, {".....###"}, pair + pair + pair + pair + "001 000111 10"},
      // Room for one line: the VL line after the notch is decoded but must
      // not show.
      {"lines past the expected lines", 16, 1, 0, {kNotchRow}, Notch("010 010 1")},
      // An EOL restarts on a white reference: V0 copies white, not the notch.
      {"EOL", 16, 10, 0, {kNotchRow, kW}, Notch(kEol) + "1"},
      // Resynchronisation behind two 0xFF bytes and a line starting with
      // 000/001.
      {"resynchronised behind 0xFF 0xFF", 16, 10, 0, {kNotchRow, kW}, Notch(invalid + ff + ff + white16)},
      // One 0xFF byte is not enough; 0xFF 0xFF followed by 1 bits is not
      // either (the bits after the last 1 are 010).
      {"one 0xFF", 16, 10, -12, {kNotchRow}, Notch(invalid + ff + white16)},
      {"0xFF 0xFF and no code", 16, 10, -12, {kNotchRow}, Notch(invalid + ff + ff + "11010111")},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRuleKept(c, DecodeMmr(Bits(c.bits), c.width, c.lines));
  }
}

// A line of black 4, then one whose reference starts black, so b1 = 0 and
// VL1 puts a1 at -1: the painter stays in the row and the line before is
// kept.
TEST(MmrDecoderTest, AVerticalCodeLeftOfTheLineStartStaysInTheRow) {
  Decoded d = DecodeMmr(Bits("001 00110101 011 1 010 1 1"), 16, 10);
  ASSERT_GE(d.page.height, 1);
  EXPECT_EQ(Pixels(d.page)[0], "####............");
  EXPECT_EQ(d.page.bits.size(), static_cast<size_t>(d.page.height) * 2);
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
